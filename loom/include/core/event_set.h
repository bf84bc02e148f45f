// The events an element can raise and the handlers subscribed to each.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/event_args.h"

namespace LOOM {

// A subscribed handler. Two kinds: a member function of an object, and a callable.
struct ISlotFunctor {
  virtual ~ISlotFunctor() = default;
  // True when the handler handled the event.
  virtual bool RunHandler(EventArgs* args) = 0;
  virtual std::unique_ptr<ISlotFunctor> CopyHandler() const = 0;
  virtual bool SameHandler(const ISlotFunctor& other) const = 0;
  virtual int HandlerKind() const = 0;
};

inline constexpr int kSlotMemberFunction = 1;
inline constexpr int kSlotStdFunction = 2;

// obj->*fn(args). Equal to another slot of the same object and function.
template <class T>
class MemberFunctionSlot final : public ISlotFunctor {
 public:
  using Fn = bool (T::*)(EventArgs*);
  MemberFunctionSlot(T* obj, Fn fn) : obj_(obj), fn_(fn) {}
  bool RunHandler(EventArgs* args) override { return (obj_->*fn_)(args); }
  std::unique_ptr<ISlotFunctor> CopyHandler() const override { return std::make_unique<MemberFunctionSlot>(obj_, fn_); }
  bool SameHandler(const ISlotFunctor& other) const override {
    if (other.HandlerKind() != kSlotMemberFunction) return false;
    auto* o = dynamic_cast<const MemberFunctionSlot*>(&other);
    return o && o->obj_ == obj_ && o->fn_ == fn_;
  }
  int HandlerKind() const override { return kSlotMemberFunction; }

 private:
  T* obj_;
  Fn fn_;
};

template <class T>
MemberFunctionSlot<T> Subscriber(bool (T::*fn)(EventArgs*), T* obj) {
  return MemberFunctionSlot<T>(obj, fn);
}

// A callable. Never equal to another slot: each subscription adds a handler.
class StdFunctionSlot final : public ISlotFunctor {
 public:
  explicit StdFunctionSlot(std::function<bool(EventArgs*)> fn) : fn_(std::move(fn)) {}
  bool RunHandler(EventArgs* args) override { return fn_ ? fn_(args) : false; }
  std::unique_ptr<ISlotFunctor> CopyHandler() const override { return std::make_unique<StdFunctionSlot>(fn_); }
  bool SameHandler(const ISlotFunctor&) const override { return false; }
  int HandlerKind() const override { return kSlotStdFunction; }

 private:
  std::function<bool(EventArgs*)> fn_;
};

// One event: id, name, stored script text, and handlers in subscription order.
class SEvent {
 public:
  SEvent(int id, std::u16string name) : id_(id), name_(std::move(name)) {}
  int Id() const { return id_; }
  const std::u16string& Name() const { return name_; }
  const std::string& Script() const { return script_; }
  void SetScript(std::string script) { script_ = std::move(script); }

  bool Connect(const ISlotFunctor& slot);
  bool Disconnect(const ISlotFunctor& slot);
  std::size_t HandlerCount() const { return handlers_.size(); }
  // Runs the handlers from the most recently subscribed to the first; each that
  // answers true counts as handled; stops once the bubble-up flag is cleared. Handlers
  // may subscribe or unsubscribe during the run.
  void Fire(EventArgs& args);

 private:
  int id_;
  std::u16string name_;
  std::string script_;
  std::vector<std::shared_ptr<ISlotFunctor>> handlers_;
};

class SEventSet {
 public:
  SEventSet() = default;
  SEventSet(const SEventSet&) = delete;
  SEventSet& operator=(const SEventSet&) = delete;

  // Adds an event; ignored when the id exists.
  void DeclareEvent(int id, std::u16string_view name);
  // Destroys the event and its handlers.
  void ForgetEvent(int id);
  bool HasEvent(int id) const { return Find(id) != nullptr; }
  SEvent* FindByName(std::u16string_view name) const;

  // False when the id is not in the set or an equal handler is already subscribed;
  // otherwise stores a copy.
  bool Connect(int id, const ISlotFunctor& slot);
  bool Connect(int id, std::function<bool(EventArgs*)> fn) { return Connect(id, StdFunctionSlot(std::move(fn))); }
  // Removes the stored handler equal to slot.
  bool Disconnect(int id, const ISlotFunctor& slot);

  // Nothing while muted; otherwise runs the handlers of the args' event.
  void RaiseEvent(EventArgs& args);
  void Silence(bool mute) { muted_ = mute; }
  bool IsSilenced() const { return muted_; }
  // Stores script text on the event of that name; true when it exists.
  bool AttachScript(std::u16string_view name, std::string script);
  std::size_t EventCount() const { return events_.size(); }

 private:
  SEvent* Find(int id) const;
  std::vector<std::unique_ptr<SEvent>> events_;
  bool muted_ = false;
};

}  // namespace LOOM
