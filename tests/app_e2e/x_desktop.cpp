#include "tests/app_e2e/x_desktop.h"

// Before Xlib, whose macros (KeyPress among them) would rename what they declare.
#include "platform/testing/test_input.h"
#include "platform/ui/window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/shell/process.h"
#include "tests/support/command_output.h"

namespace krdn::app::e2e {
namespace {

std::string Run(const std::string& command) { return testing::CommandOutput(command + " 2>/dev/null"); }

std::string Hex(std::uint64_t id) {
  std::ostringstream out;
  out << "0x" << std::hex << id;
  return out.str();
}

std::vector<std::uint64_t> Ids(const std::string& text) {
  std::vector<std::uint64_t> ids;
  std::size_t at = 0;
  while ((at = text.find("0x", at)) != std::string::npos) {
    ids.push_back(std::stoull(text.substr(at), nullptr, 16));
    at += 2;
  }
  return ids;
}

// The value part of an xprop line "NAME = value" (or "NAME: value").
std::string ValueOf(const std::string& output, const std::string& name) {
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(name, 0) != 0) continue;
    const std::size_t eq = line.find_first_of("=:", name.size());
    if (eq == std::string::npos || line.find("not found", eq) != std::string::npos) return {};
    return line.substr(eq + 1);
  }
  return {};
}

std::vector<std::string> Words(const std::string& list) {
  std::vector<std::string> words;
  std::string word;
  std::istringstream in(list);
  while (std::getline(in, word, ',')) {
    word.erase(0, word.find_first_not_of(' '));
    word.erase(word.find_last_not_of(" \n") + 1);
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

// The upper-left corner of a window's client area on the screen, as xwininfo tells it.
std::optional<POINT> ScreenOriginOf(std::uint64_t window) {
  const std::string info = Run("/usr/bin/xwininfo -id " + Hex(window));
  const std::string x = ValueOf(info, "  Absolute upper-left X"), y = ValueOf(info, "  Absolute upper-left Y");
  if (x.empty() || y.empty()) return std::nullopt;
  return POINT{std::atoi(x.c_str()), std::atoi(y.c_str())};
}

}  // namespace

XDesktop::XDesktop() {
  int fd = -1;
  server_pid_ = platform::SpawnWithOutput({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, &fd);
  if (server_pid_ < 0) return;
  // Xvfb writes the display number it took once it accepts connections.
  std::string number;
  pollfd wait{fd, POLLIN, 0};
  while (number.find('\n') == std::string::npos && ::poll(&wait, 1, 10000) > 0) {
    char buffer[16];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (number.find('\n') == std::string::npos) return;
  display_ = ":" + number.substr(0, number.find('\n'));
  ::setenv("DISPLAY", display_.c_str(), 1);
  wm_pid_ = platform::SpawnWithOutput({"/usr/bin/openbox", "--sm-disable"}, nullptr);
  for (int i = 0; i < 100 && !ready_; ++i) {
    ready_ = Run("/usr/bin/xprop -root _NET_SUPPORTING_WM_CHECK").find("window id #") != std::string::npos;
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

XDesktop::~XDesktop() {
  for (int pid : {wm_pid_, server_pid_}) {
    if (pid <= 0) continue;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
}

bool XWindowFacts::Has(const std::string& state) const {
  return std::find(states.begin(), states.end(), state) != states.end();
}

XWindowFacts FactsOf(std::uint64_t window) {
  XWindowFacts facts;
  const std::string id = Hex(window);
  const std::string props =
      Run("/usr/bin/xprop -id " + id + " -notype _NET_WM_WINDOW_TYPE _NET_WM_STATE WM_TRANSIENT_FOR WM_CLASS");
  const auto types = Words(ValueOf(props, "_NET_WM_WINDOW_TYPE"));
  facts.type = types.empty() ? std::string() : types.front();
  facts.states = Words(ValueOf(props, "_NET_WM_STATE"));
  const auto transient = Ids(ValueOf(props, "WM_TRANSIENT_FOR"));
  facts.transient_for = transient.empty() ? 0 : transient.front();
  facts.wm_class = Words(ValueOf(props, "WM_CLASS")).empty() ? std::string() : ValueOf(props, "WM_CLASS").substr(1);
  if (!facts.wm_class.empty() && facts.wm_class.back() == '\n') facts.wm_class.pop_back();
  const std::string info = Run("/usr/bin/xwininfo -id " + id);
  facts.override_redirect = info.find("Override Redirect State: yes") != std::string::npos;
  facts.viewable = info.find("Map State: IsViewable") != std::string::npos;
  return facts;
}

std::vector<int> IconSizesOf(std::uint64_t window) {
  // Width, height and width * height pixels, image after image.
  std::vector<int> sizes;
  std::vector<std::uint64_t> numbers;
  std::istringstream icon(ValueOf(Run("/usr/bin/xprop -len 100000000 -id " + Hex(window) + " -notype 32c _NET_WM_ICON"),
                                  "_NET_WM_ICON"));
  std::string number;
  while (std::getline(icon, number, ',')) numbers.push_back(std::strtoull(number.c_str(), nullptr, 10));
  for (std::size_t at = 0; at + 1 < numbers.size();) {
    const std::uint64_t w = numbers[at], h = numbers[at + 1];
    if (w == 0 || w != h) break;
    sizes.push_back(static_cast<int>(w));
    at += 2 + w * h;
  }
  return sizes;
}

std::vector<std::uint64_t> ManagedWindows() { return Ids(ValueOf(Run("/usr/bin/xprop -root _NET_CLIENT_LIST"), "_NET_CLIENT_LIST")); }

std::vector<std::uint64_t> TaskbarWindows() {
  std::vector<std::uint64_t> shown;
  for (std::uint64_t w : ManagedWindows()) {
    if (!FactsOf(w).Has("_NET_WM_STATE_SKIP_TASKBAR")) shown.push_back(w);
  }
  return shown;
}

std::uint64_t ActiveWindow() {
  const auto ids = Ids(ValueOf(Run("/usr/bin/xprop -root _NET_ACTIVE_WINDOW"), "_NET_ACTIVE_WINDOW"));
  return ids.empty() ? 0 : ids.front();
}

std::uint64_t MappedWindowNamed(const std::string& title) {
  std::istringstream lines(Run("/usr/bin/xwininfo -root -tree"));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("\"" + title + "\"") == std::string::npos) continue;
    for (std::uint64_t id : Ids(line.substr(0, line.find('"')))) {
      if (FactsOf(id).viewable) return id;
    }
  }
  return 0;
}

void CloseThroughWindowManager(std::uint64_t window) {
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<::Window>(window);
  event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // from a pager or taskbar
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
  XCloseDisplay(display);
}

void WaitUntilPlaced(Driver& d, HWND window, const std::string& which) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  std::optional<POINT> held;  // where the program has believed the window to be since `since`
  auto since = Clock::now();
  std::string seen;
  while (Clock::now() < deadline) {
    const auto [id, believed] = d.OnUi([&] {
      POINT origin{0, 0};
      platform::ClientToScreen(window, &origin);
      return std::pair<std::uint64_t, POINT>(platform::test::NativeWindowId(window), origin);
    });
    const auto managed = ManagedWindows();
    const bool is_managed = std::find(managed.begin(), managed.end(), id) != managed.end();
    const std::optional<POINT> actual = ScreenOriginOf(id);
    if (!is_managed || !FactsOf(id).viewable || !held || held->x != believed.x || held->y != believed.y) {
      held = is_managed ? std::optional<POINT>(believed) : std::nullopt;
      since = Clock::now();
    }
    // Placed: where the X server has it, or still for half a second since the window
    // manager took it on (the program's frame of reference need not be the server's).
    const bool at_actual = actual && actual->x == believed.x && actual->y == believed.y;
    if (held && (at_actual || Clock::now() - since >= std::chrono::milliseconds(500))) return;
    seen = (is_managed ? "managed" : "not managed") + std::string(", the program has it at ") +
           std::to_string(believed.x) + "," + std::to_string(believed.y) + ", the X server at " +
           (actual ? std::to_string(actual->x) + "," + std::to_string(actual->y) : std::string("(none)"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  d.Fail("the window manager did not place " + which + ": " + seen);
}

bool SaveScreen(const std::string& path) {
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const int screen = DefaultScreen(display);
  const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
  XImage* image = XGetImage(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  bool saved = false;
  if (image != nullptr) {
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* pixels = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(pixels + static_cast<std::ptrdiff_t>(y) * stride);
      for (int x = 0; x < width; ++x) row[x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
    }
    cairo_surface_mark_dirty(picture);
    saved = cairo_surface_write_to_png(picture, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(picture);
    XDestroyImage(image);
  }
  XCloseDisplay(display);
  return saved;
}

}  // namespace krdn::app::e2e
