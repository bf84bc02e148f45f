#include "module_without_resources.h"

namespace LOOM::test {

// An embedded table with no entries.
HINSTANCE ModuleWithoutResources() {
  static HINSTANCE__ nothing{nullptr, 0};
  return &nothing;
}

}  // namespace LOOM::test
