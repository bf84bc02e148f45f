// The one instance of a toolkit service, reachable from anywhere on the UI thread.
// The instance registers itself on construction and unregisters on destruction.
#pragma once

#include <cassert>

namespace LOOM {

template <class T>
class SSingleton {
 public:
  static T* Instance() { return instance_; }
  static T& Get() {
    assert(instance_);
    return *instance_;
  }

 protected:
  SSingleton() {
    assert(!instance_);
    instance_ = static_cast<T*>(this);
  }
  ~SSingleton() { instance_ = nullptr; }
  SSingleton(const SSingleton&) = delete;
  SSingleton& operator=(const SSingleton&) = delete;

 private:
  static inline T* instance_ = nullptr;
};

}  // namespace LOOM
