// Reference counting of toolkit objects: a new object holds one reference, the count
// changes atomically, and the object deletes itself when it reaches zero.
#pragma once

#include <atomic>
#include <utility>

namespace LOOM {

struct IObjRef {
  virtual long AddRef() = 0;
  virtual long Release() = 0;
  virtual void OnFinalRelease() = 0;

 protected:
  ~IObjRef() = default;
};

// Implements IObjRef over an interface T. Destruction goes through OnFinalRelease,
// the one place where a counted object deletes itself.
template <class T>
class TObjRefImpl : public T {
 public:
  template <class... Args>
  explicit TObjRefImpl(Args&&... args) : T(std::forward<Args>(args)...) {}
  virtual ~TObjRefImpl() = default;
  TObjRefImpl(const TObjRefImpl&) = delete;
  TObjRefImpl& operator=(const TObjRefImpl&) = delete;

  long AddRef() override { return ref_count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  long Release() override {
    long left = ref_count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) OnFinalRelease();
    return left;
  }
  void OnFinalRelease() override { delete this; }
  long RefCount() const { return ref_count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<long> ref_count_{1};
};

// Holds one counted reference. Adopt() takes over a reference the caller already owns
// (a freshly made object); the constructor and assignment from a raw pointer add one.
template <class T>
class SAutoRefPtr {
 public:
  SAutoRefPtr() = default;
  SAutoRefPtr(std::nullptr_t) {}
  SAutoRefPtr(T* p) : p_(p) {  // NOLINT: implicit by design, as a counted pointer
    if (p_) p_->AddRef();
  }
  SAutoRefPtr(const SAutoRefPtr& o) : SAutoRefPtr(o.p_) {}
  SAutoRefPtr(SAutoRefPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  SAutoRefPtr(const SAutoRefPtr<U>& o) : SAutoRefPtr(static_cast<T*>(o.get())) {}
  ~SAutoRefPtr() { reset(); }

  SAutoRefPtr& operator=(const SAutoRefPtr& o) {
    if (this != &o) { SAutoRefPtr tmp(o); swap(tmp); }
    return *this;
  }
  SAutoRefPtr& operator=(SAutoRefPtr&& o) noexcept {
    if (this != &o) { reset(); p_ = std::exchange(o.p_, nullptr); }
    return *this;
  }
  SAutoRefPtr& operator=(T* p) {
    SAutoRefPtr tmp(p);
    swap(tmp);
    return *this;
  }

  static SAutoRefPtr Adopt(T* p) {
    SAutoRefPtr r;
    r.p_ = p;
    return r;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // Hands the reference to the caller.
  T* detach() { return std::exchange(p_, nullptr); }
  // For out-parameters: releases the current object and exposes the slot.
  T** out() {
    reset();
    return &p_;
  }
  void swap(SAutoRefPtr& o) noexcept { std::swap(p_, o.p_); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const SAutoRefPtr& a, const SAutoRefPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const SAutoRefPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace LOOM
