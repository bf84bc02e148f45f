#include "core/basic_controls.h"

#include "core/button.h"
#include "core/caption.h"
#include "core/icon_wnd.h"
#include "core/progress.h"
#include "core/static_text.h"

namespace LOOM {

void RegisterBasicControls(SObjectFactoryMgr& mgr) {
  mgr.Register<SButton>();
  mgr.Register<SImageButton>();
  mgr.Register<SStatic>();
  mgr.Register<SIconWnd>();
  mgr.Register<SCaption>();
  mgr.Register<SProgress>();
}

}  // namespace LOOM
