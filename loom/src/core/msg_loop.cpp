#include "core/msg_loop.h"

#include <algorithm>
#include <string>

#include "core/log.h"
#include "core/text_util.h"

namespace LOOM {

namespace {

constexpr char kSource[] = "src\\core\\SMsgLoop";
constexpr char kRunFunction[] = "LOOM::SMessageLoop::Run";

}  // namespace

bool SMessageLoop::IsIdleMessage(const MSG& msg) {
  return msg.message == WM_PAINT || msg.message == WM_NCMOUSEMOVE || msg.message == WM_MOUSEMOVE ||
         msg.message == WM_SYSTIMER;
}

BOOL SMessageLoop::PreTranslateMessage(MSG* msg) {
  // Newest first; a filter may remove itself (or others) while it runs, so the walk
  // works on a copy and skips filters that are gone meanwhile.
  std::vector<IMessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if (std::find(filters_.begin(), filters_.end(), *it) == filters_.end()) continue;
    if ((*it)->PreTranslateMessage(msg)) return TRUE;
  }
  return FALSE;
}

BOOL SMessageLoop::OnIdle(int) {
  std::vector<IIdleHandler*> handlers = idle_handlers_;
  for (IIdleHandler* h : handlers) {
    if (std::find(idle_handlers_.begin(), idle_handlers_.end(), h) == idle_handlers_.end()) continue;
    h->OnIdle();
  }
  return FALSE;
}

void SMessageLoop::OnMsg(MSG* msg) {
  if (PreTranslateMessage(msg)) return;
  platform::TranslateMessage(msg);
  platform::DispatchMessageW(msg);
}

void SMessageLoop::Quit() {
  if (running_) quit_requested_ = true;
}

int SMessageLoop::Run() {
  // A nested Run of the same loop would share its state; the loop is not re-entrant.
  if (running_) return 0;
  // The object stays alive to the end even if a handler drops the last other reference.
  SAutoRefPtr<SMessageLoop> keep(this);
  quit_requested_ = false;
  running_ = true;
  bool idle = true;
  int idle_count = 0;
  for (;;) {
    MSG peeked{};
    while (idle && !platform::PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idle_count++)) idle = false;
      if (quit_requested_) {
        running_ = false;
        return static_cast<int>(msg_.wParam);
      }
    }
    BOOL got = platform::GetMessageW(&msg_, nullptr, 0, 0);
    if (got == -1) {
      LogWarning(u"::GetMessage returned -1 (error)", kRunFunction, kSource, __LINE__);
      continue;
    }
    if (got == 0) {
      LogWarning(u"SMessageLoop::Run - exiting,code = " + IntToText(static_cast<int>(msg_.wParam)), kRunFunction,
                 kSource, __LINE__);
      break;
    }
    OnMsg(&msg_);
    if (!IsIdleMessage(msg_)) {
      idle = true;
      idle_count = 0;
    }
    if (quit_requested_) break;
  }
  running_ = false;
  return static_cast<int>(msg_.wParam);
}

bool SMessageLoop::AddMessageFilter(IMessageFilter* filter) {
  filters_.push_back(filter);
  return true;
}

bool SMessageLoop::RemoveMessageFilter(IMessageFilter* filter) {
  auto it = std::find(filters_.begin(), filters_.end(), filter);
  if (it == filters_.end()) return false;
  filters_.erase(it);
  return true;
}

bool SMessageLoop::AddIdleHandler(IIdleHandler* handler) {
  idle_handlers_.push_back(handler);
  return true;
}

bool SMessageLoop::RemoveIdleHandler(IIdleHandler* handler) {
  auto it = std::find(idle_handlers_.begin(), idle_handlers_.end(), handler);
  if (it == idle_handlers_.end()) return false;
  idle_handlers_.erase(it);
  return true;
}

}  // namespace LOOM
