// A module that holds none of the toolkit's resources.
#pragma once

#include "platform/toolkit/module_resources.h"

namespace LOOM::test {

HINSTANCE ModuleWithoutResources();

}  // namespace LOOM::test
