#include "core/grid_layout.h"
#include "core/linear_layout.h"
#include "core/loom_layout.h"

namespace LOOM {

void RegisterLayoutObjects(SObjectFactoryMgr& mgr) {
  mgr.Register<LoomLayout>();
  mgr.Register<SLinearLayout>();
  mgr.Register<SHBox>();
  mgr.Register<SVBox>();
  mgr.Register<SGridLayout>();
}

}  // namespace LOOM
