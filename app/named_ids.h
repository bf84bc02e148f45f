// The element names of the program's layouts with their fixed ids, numbered from
// 65536 in the order the names first occur (main window first), sorted by name with
// the sentinel "_name_start" first.
#pragma once

#include <array>

#include "core/named_id.h"

namespace krdn::app {

inline constexpr std::size_t kNamedIdCount = 13;
const std::array<LOOM::SNamedIdEntry, kNamedIdCount>& NamedIdTable();

}  // namespace krdn::app
