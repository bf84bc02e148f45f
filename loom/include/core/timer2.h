// Thread timers of elements (STimer2) and of scripts (SScriptTimer): platform timers
// without a window, mapped back to what they were set for.
#pragma once

#include <map>
#include <string>

#include "core/swnd_defs.h"

namespace LOOM {

class STimer2 {
 public:
  STimer2() = default;
  ~STimer2();
  STimer2(const STimer2&) = delete;
  STimer2& operator=(const STimer2&) = delete;

  // Kills a timer of the same element and id first; false when the platform gives none.
  bool SetThreadTimer(SWND swnd, UINT timer_id, UINT elapse_ms);
  void KillThreadTimer(SWND swnd, UINT timer_id);
  // Removes every thread timer of an element (at its destruction).
  void DropTimersOf(SWND swnd);
  std::size_t Size() const { return timers_.size(); }
  // The expiry of a platform timer: the element receives UM_THREADTIMER with its id;
  // a timer whose element is gone is killed.
  void OnPlatformTimer(UINT_PTR platform_id);

 private:
  struct Entry {
    SWND swnd;
    UINT timer_id;
  };
  std::map<UINT_PTR, Entry> timers_;
};

class SScriptTimer {
 public:
  SScriptTimer() = default;
  ~SScriptTimer();
  SScriptTimer(const SScriptTimer&) = delete;
  SScriptTimer& operator=(const SScriptTimer&) = delete;

  // The platform timer id, 0 when none was made.
  UINT_PTR SetScriptTimer(HWND host, std::u16string handler, UINT elapse_ms, bool repeat);
  void KillScriptTimer(UINT_PTR id);
  std::size_t Size() const { return timers_.size(); }
  // Expiry: the host receives UM_SCRIPTTIMER with the id and the handler text.
  void OnPlatformTimer(UINT_PTR platform_id);

 private:
  struct Entry {
    HWND host;
    std::u16string handler;
    bool repeat;
  };
  std::map<UINT_PTR, Entry> timers_;
};

}  // namespace LOOM
