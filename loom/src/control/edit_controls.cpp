#include "core/edit_controls.h"

#include "core/edit.h"
#include "core/panel.h"
#include "core/rich_edit.h"

namespace LOOM {

void RegisterEditControls(SObjectFactoryMgr& mgr) {
  mgr.Register<SPanel>();
  mgr.Register<SRichEdit>();
  mgr.Register<SEdit>();
}

}  // namespace LOOM
