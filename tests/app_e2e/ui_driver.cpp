#include "tests/app_e2e/ui_driver.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/application.h"
#include "core/button.h"
#include "core/rich_edit.h"
#include "core/host_dialog.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/progress.h"
#include "core/simple_wnd.h"
#include "platform/ui/message_box.h"
#include "platform/shell/process.h"
#include "platform/text/text_defs.h"
#include "platform/testing/test_input.h"
#include "platform/base/utf.h"
#include "platform/base/wide_text.h"
#include "platform/ui/window.h"

namespace krdn::app::e2e {
namespace {

constexpr char16_t kInvokerClass[] = u"KrdnTestInvoker";
constexpr UINT kRunClosure = WM_APP + 17;

LRESULT InvokerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kRunClosure) {
    (*reinterpret_cast<const std::function<void()>*>(lp))();
    return 1;
  }
  return platform::DefWindowProcW(hwnd, msg, wp, lp);
}

// The toolkit host shown by a window, or nullptr.
LOOM::SHostWnd* HostOf(HWND hwnd) {
  auto* app = LOOM::SApplication::Instance();
  if (app == nullptr || hwnd == nullptr) return nullptr;
  return dynamic_cast<LOOM::SHostWnd*>(app->SimpleWndHelper().ObjectOf(hwnd));
}

// The dialog of the program open over the main window: the active window, if it is
// one of the program's dialogs.
LOOM::SHostDialog* OpenDialog() { return dynamic_cast<LOOM::SHostDialog*>(HostOf(platform::GetActiveWindow())); }

std::u16string DialogClass(LOOM::SHostDialog* dialog) {
  if (dialog == nullptr) return {};
  for (const char16_t* name : {u"DlgMsgBox1", u"DlgMsgBox2", u"DlgMsgBox3", u"DlgFolder"})
    if (dialog->MatchesTag(name)) return name;
  return u"?";
}

bool SavePicture(LOOM::SHostWnd* host, const std::string& path) {
  if (host == nullptr || host->Cache() == nullptr) return false;
  auto* bitmap = static_cast<LOOM::IBitmap*>(host->Cache()->CurrentObject(LOOM::OT_BITMAP));
  return bitmap != nullptr && bitmap->SaveFile(platform::Utf8ToUtf16(path), LOOM::kImagePng) == S_OK;
}

bool Enabled(LOOM::SWindow* element) { return element != nullptr && !element->HasDisabledState(); }

}  // namespace

UiInvoker::UiInvoker() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = InvokerProc;
  wc.lpszClassName = AsWideText(kInvokerClass);
  platform::RegisterClassExW(&wc);
  window_ = platform::CreateWindowExW(0, kInvokerClass, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

UiInvoker::~UiInvoker() {
  if (window_) platform::DestroyWindow(window_);
}

bool UiInvoker::Run(const std::function<void()>& fn) {
  LRESULT result = 0;
  auto status = platform::SendMessageCancellable(window_, kRunClosure, 0, reinterpret_cast<LPARAM>(&fn), closed_, &result);
  return status == platform::SendStatus::kDelivered && result == 1;
}

Snapshot Driver::Look() {
  return OnUi([this] {
    Snapshot s;
    s.message_box = platform::test::CurrentMessageBox() != nullptr;
    if (main_ == nullptr || !main_->IsWindow()) return s;
    s.main_window = true;
    s.status = main_->Status().Text();
    if (auto* box = main_->Status().Element()) {
      s.status_view_top = static_cast<int>(box->SendElementMessage(EM_GETFIRSTVISIBLELINE));
      // The last line with text: the one before the final line break.
      POINT at{};
      box->SendElementMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), box->TextLength() - 3);
      RECT view{};
      box->SendElementMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
      s.status_last_line_on_view = box->TextLength() > 0 && at.y >= view.top && at.y + box->LineHeight() <= view.bottom;
    }
    s.directory_text = main_->Directory().Text();
    s.chosen_directory = main_->ChosenDirectory();
    s.progress = main_->ProgressBar() ? main_->ProgressBar()->ProgressValue() : -1;
    s.start_enabled = Enabled(main_->StartButton());
    s.stop_enabled = Enabled(main_->StopButton());
    s.search_enabled = Enabled(main_->SearchButton());
    s.running = main_->IsRunning();
    s.busy = main_->IsBusy();
    s.ended_by_user = main_->EndedByUser();
    s.holds_worker = main_->HoldsWorker();
    s.workers_started = main_->WorkersStarted();
    s.workers_alive = main_->WorkersAlive();
    LOOM::SHostDialog* dialog = OpenDialog();
    s.dialog = DialogClass(dialog);
    s.dialog_window = dialog != nullptr ? dialog->NativeHandle() : nullptr;
    s.main_enabled = platform::IsWindowEnabled(main_->NativeHandle());
    return s;
  });
}

Snapshot Driver::WaitFor(const std::string& what, const std::function<bool(const Snapshot&)>& pred,
                         std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Snapshot s = Look();
  while (!pred(s)) {
    if (std::chrono::steady_clock::now() > deadline) {
      Fail("timed out waiting for " + what + "; status box: " + platform::Utf16ToUtf8(s.status) +
           "; dialog: " + platform::Utf16ToUtf8(s.dialog) + "; progress " + std::to_string(s.progress));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    s = Look();
  }
  return s;
}

void Driver::Click(HWND window, LOOM::SWindow* element, std::u16string_view name) {
  if (element == nullptr) Fail("no element " + platform::Utf16ToUtf8(name));
  RECT rc = element->ElementArea();
  platform::test::Click(window, POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
}

void Driver::ClickMain(std::u16string_view name) {
  bool found = OnUi([&] {
    if (main_ == nullptr) return false;
    LOOM::SWindow* element = main_->ChildWithName(name);
    if (element == nullptr) return false;
    Click(main_->NativeHandle(), element, name);
    return true;
  });
  if (!found) Fail("the main window has no element " + platform::Utf16ToUtf8(name));
}

// A dialog is the active window a moment before its layout is built and it is shown,
// longer so on a loaded machine; a click before then finds no element, or is dropped
// with the hidden window. So the click waits (20 s at most) for the element on screen.
void Driver::ClickDialog(std::u16string_view name) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    const bool clicked = OnUi([&] {
      LOOM::SHostDialog* dialog = OpenDialog();
      LOOM::SWindow* element = dialog != nullptr ? dialog->ChildWithName(name) : nullptr;
      if (element == nullptr || !platform::IsWindowVisible(dialog->NativeHandle())) return false;
      const RECT area = element->ElementArea();
      if (area.right <= area.left || area.bottom <= area.top) return false;
      Click(dialog->NativeHandle(), element, name);
      return true;
    });
    if (clicked) return;
    if (std::chrono::steady_clock::now() > deadline) Fail("no open dialog with an element " + platform::Utf16ToUtf8(name));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void Driver::FireCommand(std::u16string_view name) {
  bool found = OnUi([&] {
    LOOM::SWindow* element = main_ != nullptr ? main_->ChildWithName(name) : nullptr;
    if (element == nullptr) return false;
    element->FireCommand();
    return true;
  });
  if (!found) Fail("the main window has no element " + platform::Utf16ToUtf8(name));
}

bool Driver::SaveMainPicture(const std::string& path) {
  return OnUi([&] { return main_ != nullptr && main_->IsWindow() && SavePicture(main_, path); });
}

bool Driver::SaveDialogPicture(const std::string& path) {
  return OnUi([&] { return SavePicture(OpenDialog(), path); });
}

// As a dialog's click: the box must be shown with its buttons laid out (20 s at most).
void Driver::AnswerMessageBox(int button_id) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    const bool clicked = OnUi([&] {
      HWND box = platform::test::CurrentMessageBox();
      if (box == nullptr || !platform::IsWindowVisible(box)) return false;
      RECT rc = platform::test::MessageBoxButtonRect(box, button_id);
      if (rc.right <= rc.left || rc.bottom <= rc.top) return false;
      platform::test::Click(box, POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
      return true;
    });
    if (clicked) return;
    if (std::chrono::steady_clock::now() > deadline) Fail("no message box to answer");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::u16string Driver::MessageBoxCaption() {
  return OnUi([] {
    HWND box = platform::test::CurrentMessageBox();
    std::u16string text(512, u'\0');
    if (box == nullptr) return std::u16string();
    text.resize(static_cast<std::size_t>(platform::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return text;
  });
}

namespace {

std::vector<std::string> CurrentThreads() {
  std::vector<std::string> ids;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ids.push_back(entry.path().filename().string());
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace

void Driver::RecordThreads() { baseline_threads_ = CurrentThreads(); }

std::vector<std::string> Driver::ThreadsStartedSinceRecord() const {
  std::vector<std::string> now = CurrentThreads(), added;
  std::set_difference(now.begin(), now.end(), baseline_threads_.begin(), baseline_threads_.end(), std::back_inserter(added));
  return added;
}

void Driver::Expect(bool condition, const std::string& what) {
  if (condition) return;
  std::lock_guard lock(mutex_);
  failures_.push_back(what);
}

void Driver::Fail(const std::string& what) {
  Expect(false, what);
  Report();
  if (before_failed_exit_) before_failed_exit_();
  platform::EndProcessNow(kFailedExitCode);
}

bool Driver::Failed() const {
  std::lock_guard lock(mutex_);
  return !failures_.empty();
}

bool Driver::Report() const {
  std::lock_guard lock(mutex_);
  for (const std::string& f : failures_) std::fprintf(stderr, "scenario check failed: %s\n", f.c_str());
  return failures_.empty();
}

}  // namespace krdn::app::e2e
