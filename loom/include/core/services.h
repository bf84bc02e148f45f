// Service interfaces the application object holds: translation, the message loop
// and its factory. The null translator never translates; the message loop proper is
// supplied by the hosting layer.
#pragma once

#include <string>
#include <string_view>

#include "core/obj_ref.h"
#include "platform/win_types.h"

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

struct IMessageLoop : IObjRef {
  // Runs until quit; the quit code.
  virtual int Run() = 0;

 protected:
  ~IMessageLoop() = default;
};

struct IMsgLoopFactory : IObjRef {
  // A new loop with one reference.
  virtual IMessageLoop* CreateMsgLoop() = 0;
  // Destroys a top-level window when it still exists (the loop's owner does this after
  // the main loop ends).
  virtual void DestroyWindowIfAlive(HWND hwnd) = 0;

 protected:
  ~IMsgLoopFactory() = default;
};

}  // namespace LOOM
