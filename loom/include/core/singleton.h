// The one instance of a toolkit service, reachable from anywhere on the UI thread.
// The derived class registers itself first thing in its constructor (once it is a
// complete enough object to be cast to) and is unregistered on destruction.
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
  SSingleton() = default;
  void RegisterInstance(T* self) {
    assert(!instance_);
    instance_ = self;
  }
  ~SSingleton() { instance_ = nullptr; }
  SSingleton(const SSingleton&) = delete;
  SSingleton& operator=(const SSingleton&) = delete;

 private:
  static inline T* instance_ = nullptr;
};

}  // namespace LOOM
