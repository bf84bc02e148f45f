// Service interfaces the application object holds: translation, the message loop
// and its factory, message filters and idle handlers. The null translator never
// translates; the message loop proper is SMessageLoop (msg_loop.h).
#pragma once

#include <string>
#include <string_view>

#include "core/obj_ref.h"
#include "platform/ui/message_queue.h"
#include "platform/base/win_types.h"

namespace LOOM {

struct ITranslatorMgr : IObjRef {
  // The translation of text in a context; nullopt-like: empty and false when none.
  virtual bool Translate(std::u16string_view text, std::u16string_view context, std::u16string& out) = 0;

 protected:
  ~ITranslatorMgr() = default;
};

class SNullTranslator final : public TObjRefImpl<ITranslatorMgr> {
 public:
  bool Translate(std::u16string_view, std::u16string_view, std::u16string&) override { return false; }
};

// Sees every message a loop fetches before it is dispatched; true consumes it.
struct IMessageFilter {
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;

 protected:
  ~IMessageFilter() = default;
};

// Runs when a loop's queue has run dry.
struct IIdleHandler {
  virtual BOOL OnIdle() = 0;

 protected:
  ~IIdleHandler() = default;
};

// A message loop (SMessageLoop, msg_loop.h). Filters and idle handlers are not owned.
struct IMessageLoop : IObjRef {
  // The filters, from the most recently added; true when one consumed the message.
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;
  // One idle pass; true when more idle work is wanted.
  virtual BOOL OnIdle(int idle_count) = 0;
  // Runs until quit; the wParam of the last message fetched (the quit code).
  virtual int Run() = 0;
  virtual bool IsRunning() const = 0;
  // Filters, then translation and dispatch.
  virtual void OnMsg(MSG* msg) = 0;
  // Asks a running loop to stop after the message it is handling.
  virtual void Quit() = 0;

  virtual bool AddMessageFilter(IMessageFilter* filter) = 0;
  virtual bool RemoveMessageFilter(IMessageFilter* filter) = 0;
  virtual bool AddIdleHandler(IIdleHandler* handler) = 0;
  virtual bool RemoveIdleHandler(IIdleHandler* handler) = 0;

 protected:
  ~IMessageLoop() = default;
};

struct IMsgLoopFactory : IObjRef {
  // A new loop with one reference.
  virtual IMessageLoop* CreateMsgLoop() = 0;
  // Gives back a loop made here (nullptr: nothing).
  virtual void DestroyMsgLoop(IMessageLoop* loop) = 0;

 protected:
  ~IMsgLoopFactory() = default;
};

}  // namespace LOOM
