// What the test executable embeds, entry by entry, as the platform's resource tables
// list it.
#pragma once

#include <string>
#include <vector>

namespace krdn::app::test {

struct Entry {
  std::u16string type;  // "#14" for a numbered type
  std::u16string name;
  int language = 0;
};

std::vector<Entry> Inventory();

}  // namespace krdn::app::test
