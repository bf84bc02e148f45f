#include "core/swindow_mgr.h"

#include "core/application.h"
#include "core/swindow_finder.h"
#include "core/timer2.h"

namespace LOOM {

SWND SWindowMgr::IssueHandle(SWindow* element) {
  std::lock_guard lock(lock_);
  SWND swnd = ++counter_;
  elements_[swnd] = element;
  return swnd;
}

SWindow* SWindowMgr::ElementForHandle(SWND swnd) const {
  if (swnd == 0) return nullptr;
  std::lock_guard lock(lock_);
  auto it = elements_.find(swnd);
  return it == elements_.end() ? nullptr : it->second;
}

void SWindowMgr::RetireHandle(SWND swnd) {
  {
    std::lock_guard lock(lock_);
    elements_.erase(swnd);
  }
  if (SApplication* app = SApplication::Instance()) {
    app->Timer2().DropTimersOf(swnd);
    app->WindowFinder().ForgetParent(swnd);
  }
}

std::size_t SWindowMgr::Size() const {
  std::lock_guard lock(lock_);
  return elements_.size();
}

}  // namespace LOOM
