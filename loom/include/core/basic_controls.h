// Registration of the basic controls: buttons, image buttons, static text, icon,
// caption and progress bar.
#pragma once

#include "core/object_factory.h"

namespace LOOM {

void RegisterBasicControls(SObjectFactoryMgr& mgr);

}  // namespace LOOM
