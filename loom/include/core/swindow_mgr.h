// The element handle table: handle to element, handles issued from a counter and never
// reused in a process. Timers and lookups reach elements through it, so it is locked.
#pragma once

#include <mutex>
#include <unordered_map>

#include "core/swnd_defs.h"

namespace LOOM {

class SWindow;

class SWindowMgr {
 public:
  SWindowMgr() = default;
  SWindowMgr(const SWindowMgr&) = delete;
  SWindowMgr& operator=(const SWindowMgr&) = delete;

  // The next handle (the counter plus 1) for the element.
  SWND IssueHandle(SWindow* element);
  // The element of a handle, or nullptr.
  SWindow* ElementForHandle(SWND swnd) const;
  // Removes the handle and kills the thread timers of that element.
  void RetireHandle(SWND swnd);
  std::size_t Size() const;

 private:
  mutable std::mutex lock_;
  std::unordered_map<SWND, SWindow*> elements_;
  SWND counter_ = 0;
};

}  // namespace LOOM
