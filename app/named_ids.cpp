#include "app/named_ids.h"

namespace krdn::app {
namespace {

constexpr LOOM::SNamedIdEntry Entry(const char16_t* name, int value) {
  LOOM::SNamedIdEntry e{};
  for (std::size_t i = 0; name[i] != u'\0' && i + 1 < std::size(e.name); ++i) e.name[i] = name[i];
  e.value = value;
  return e;
}

constexpr std::array<LOOM::SNamedIdEntry, kNamedIdCount> kTable = {
    Entry(u"_name_start", 65535),   Entry(u"btn_cancel", 65546), Entry(u"btn_close", 65536),
    Entry(u"btn_minimize", 65537),  Entry(u"btn_quit", 65542),   Entry(u"btn_retry", 65545),
    Entry(u"btn_search", 65544),    Entry(u"btn_start", 65538),  Entry(u"btn_startgame", 65547),
    Entry(u"btn_stop", 65541),      Entry(u"dir", 65539),        Entry(u"progressbar", 65543),
    Entry(u"status", 65540),
};

}  // namespace

const std::array<LOOM::SNamedIdEntry, kNamedIdCount>& NamedIdTable() { return kTable; }

}  // namespace krdn::app
