// Registration of the edit controls: the panel ("div"), the rich edit ("richedit")
// and the plain edit box ("edit").
#pragma once

#include "core/object_factory.h"

namespace LOOM {

void RegisterEditControls(SObjectFactoryMgr& mgr);

}  // namespace LOOM
