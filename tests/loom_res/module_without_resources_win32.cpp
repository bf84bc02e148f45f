#include "module_without_resources.h"

#include <windows.h>

namespace LOOM::test {

// A system library with no resource of the toolkit's types.
HINSTANCE ModuleWithoutResources() { return ::GetModuleHandleW(L"ntdll.dll"); }

}  // namespace LOOM::test
