#include "core/timer2.h"

#include "core/application.h"
#include "core/swnd.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/timer.h"

namespace LOOM {

namespace {

void ElementThreadTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  if (SApplication* app = SApplication::Instance()) app->Timer2().OnPlatformTimer(id);
}

void ScriptTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  if (SApplication* app = SApplication::Instance()) app->ScriptTimer().OnPlatformTimer(id);
}

}  // namespace

STimer2::~STimer2() {
  for (const auto& [id, entry] : timers_) platform::KillTimer(nullptr, id);
}

bool STimer2::SetThreadTimer(SWND swnd, UINT timer_id, UINT elapse_ms) {
  KillThreadTimer(swnd, timer_id);
  UINT_PTR id = platform::SetTimer(nullptr, 0, elapse_ms, &ElementThreadTimerProc);
  if (id == 0) return false;
  timers_[id] = Entry{swnd, timer_id};
  return true;
}

void STimer2::KillThreadTimer(SWND swnd, UINT timer_id) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.swnd == swnd && it->second.timer_id == timer_id) {
      platform::KillTimer(nullptr, it->first);
      timers_.erase(it);
      return;
    }
  }
}

void STimer2::DropTimersOf(SWND swnd) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->second.swnd == swnd) {
      platform::KillTimer(nullptr, it->first);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void STimer2::OnPlatformTimer(UINT_PTR platform_id) {
  auto it = timers_.find(platform_id);
  if (it == timers_.end()) {
    platform::KillTimer(nullptr, platform_id);
    return;
  }
  Entry entry = it->second;
  SWindow* element = ElementForHandle(entry.swnd);
  if (!element) {
    platform::KillTimer(nullptr, platform_id);
    timers_.erase(it);
    return;
  }
  element->SendElementMessage(UM_THREADTIMER, entry.timer_id, 0);
}

SScriptTimer::~SScriptTimer() {
  for (const auto& [id, entry] : timers_) platform::KillTimer(nullptr, id);
}

UINT_PTR SScriptTimer::SetScriptTimer(HWND host, std::u16string handler, UINT elapse_ms, bool repeat) {
  UINT_PTR id = platform::SetTimer(nullptr, 0, elapse_ms, &ScriptTimerProc);
  if (id != 0) timers_[id] = Entry{host, std::move(handler), repeat};
  return id;
}

void SScriptTimer::KillScriptTimer(UINT_PTR id) {
  if (timers_.erase(id)) platform::KillTimer(nullptr, id);
}

void SScriptTimer::OnPlatformTimer(UINT_PTR platform_id) {
  auto it = timers_.find(platform_id);
  if (it == timers_.end()) {
    platform::KillTimer(nullptr, platform_id);
    return;
  }
  Entry entry = it->second;
  if (!entry.repeat) {
    timers_.erase(it);
    platform::KillTimer(nullptr, platform_id);
  }
  // The handler text travels by pointer for the duration of the send.
  platform::SendMessageW(entry.host, UM_SCRIPTTIMER, platform_id, reinterpret_cast<LPARAM>(entry.handler.c_str()));
}

}  // namespace LOOM
