#include "platform/shell/folder_picker.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/ui/message_queue.h"
#include "platform/shell/process.h"
#include "platform/base/utf.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"
#include "platform/ui/linux/x11_roles.h"

namespace platform {
namespace {

struct Picker {
  std::string program;
  std::vector<std::string> argv;
};

// `owner_id` (the owner's X window, 0 for none) makes the picker's window transient for
// it, so that the window manager keeps it above the owner.
Picker FindPicker(const std::string& title, std::uint64_t owner_id) {
  if (std::string zenity = FindProgramOnPath("zenity"); !zenity.empty()) {
    Picker picker{zenity, {zenity, "--file-selection", "--directory", "--title=" + title}};
    if (owner_id != 0) picker.argv.push_back("--attach=" + std::to_string(owner_id));
    return picker;
  }
  if (std::string kdialog = FindProgramOnPath("kdialog"); !kdialog.empty()) {
    const char* home = std::getenv("HOME");
    Picker picker{kdialog, {kdialog, "--getexistingdirectory", home != nullptr ? home : "/", "--title", title}};
    if (owner_id != 0) picker.argv.insert(picker.argv.begin() + 1, {"--attach", std::to_string(owner_id)});
    return picker;
  }
  return {};
}

std::uint64_t OwnerWindowId(HWND owner) {
  if (owner == nullptr) return 0;
  SDL_Window* sdl = nullptr;
  const HWND root = detail::RootOf(owner);
  auto& registry = detail::Registry::Get();
  std::lock_guard lock(registry.mutex);
  if (detail::Window* window = registry.Find(root)) sdl = window->sdl;
  return detail::x11::WindowId(sdl);
}

// Reads the child's output and reaps it; then wakes the waiting thread.
struct PickerRun {
  std::string output;
  int exit_status = -1;
  std::atomic<bool> done{false};
};

void Collect(int fd, pid_t pid, DWORD waiting_thread, PickerRun& run) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0 && run.output.size() < 64 * 1024) run.output.append(buffer, static_cast<std::size_t>(n));
    if (n == 0 || (n < 0 && errno != EINTR)) break;
  }
  ::close(fd);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.done.store(true);
  PostThreadMessageW(waiting_thread, WM_NULL, 0, 0);
}

}  // namespace

std::u16string FolderFromPickerOutput(std::string_view output) {
  std::string_view line = output.substr(0, output.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line.front() != '/' || line.find('\0') != std::string_view::npos) return {};
  while (line.size() > 1 && line.back() == '/') line.remove_suffix(1);
  return Utf8ToUtf16(line);
}

FolderPick BrowseForFolder(HWND owner, std::u16string_view title) {
  Picker picker = FindPicker(Utf16ToUtf8(title), OwnerWindowId(owner));
  if (picker.program.empty()) return {};
  int fd = -1;
  pid_t pid = SpawnWithOutput(picker.argv, &fd);
  if (pid < 0) return {};

  const bool disable_owner = owner != nullptr && IsWindowEnabled(owner);
  if (disable_owner) EnableWindow(owner, FALSE);
  PickerRun run;
  std::thread collector(Collect, fd, pid, GetCurrentThreadId(), std::ref(run));
  bool quit = false;
  int quit_code = 0;
  while (!run.done.load()) {
    MSG msg;
    if (!GetMessageW(&msg, nullptr, 0, 0)) {  // the application is quitting: pass it on afterwards
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      ::kill(pid, SIGTERM);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  collector.join();
  if (disable_owner) EnableWindow(owner, TRUE);
  if (quit) PostQuitMessage(quit_code);

  FolderPick pick;
  pick.path = FolderFromPickerOutput(run.output);
  pick.outcome = run.exit_status == 0 && !pick.path.empty() ? FolderPick::Outcome::kChosen : FolderPick::Outcome::kCancelled;
  if (pick.outcome == FolderPick::Outcome::kCancelled) pick.path.clear();
  return pick;
}

}  // namespace platform
