// The resource tables the resource compiler linked into the executable.
#include <cstddef>

#include "package_inventory.h"
#include "platform/toolkit/module_resources.h"

extern "C" const HINSTANCE__ krdn_module_resources;
namespace krdn::app::test {

std::vector<Entry> Inventory() {
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < krdn_module_resources.count; ++i) {
    const auto& r = krdn_module_resources.entries[i];
    entries.push_back({r.type, r.name, r.language});
  }
  return entries;
}

}  // namespace krdn::app::test
