// SMessageLoop: fetches and dispatches the thread's messages, lets message filters see
// each message first, calls idle handlers when the queue runs dry, and stops on Quit()
// or WM_QUIT. The application's main loop and every modal dialog's loop are one each;
// SDefMsgLoopFactory makes and destroys them.
//
// Messages sent from other threads are delivered while the loop waits for its next
// message, straight to their windows: filters never see them.
#pragma once

#include <vector>

#include "core/services.h"

namespace LOOM {

class SMessageLoop : public TObjRefImpl<IMessageLoop> {
 public:
  SMessageLoop() = default;

  BOOL PreTranslateMessage(MSG* msg) override;
  // Calls every idle handler once; never asks for more idle work.
  BOOL OnIdle(int idle_count) override;
  int Run() override;
  bool IsRunning() const override { return running_; }
  void OnMsg(MSG* msg) override;
  // Takes effect only while the loop runs.
  void Quit() override;

  // Adding appends (duplicates too); removing takes out the first equal entry.
  bool AddMessageFilter(IMessageFilter* filter) override;
  bool RemoveMessageFilter(IMessageFilter* filter) override;
  bool AddIdleHandler(IIdleHandler* handler) override;
  bool RemoveIdleHandler(IIdleHandler* handler) override;

  // The message last fetched.
  const MSG& CurrentMessage() const { return msg_; }

 private:
  // Messages after which the idle handlers do not run again: they come in streams.
  static bool IsIdleMessage(const MSG& msg);

  std::vector<IMessageFilter*> filters_;
  std::vector<IIdleHandler*> idle_handlers_;
  MSG msg_{};
  bool running_ = false;
  bool quit_requested_ = false;
};

// One per application: makes the application's main loop and every dialog's own.
class SDefMsgLoopFactory : public TObjRefImpl<IMsgLoopFactory> {
 public:
  IMessageLoop* CreateMsgLoop() override { return new SMessageLoop(); }
  void DestroyMsgLoop(IMessageLoop* loop) override {
    if (loop) loop->Release();
  }
};

}  // namespace LOOM
