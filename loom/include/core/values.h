// The value syntaxes every attribute parser shares: colours, dimensions (numbers with
// units), and tables of named values sorted by name.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/xml.h"
#include "platform/base/win_types.h"

namespace LOOM {

inline constexpr std::size_t kMaxValueName = 49;

// Colour text: "#rrggbb", "#rrggbbaa", "rgb(r,g,b)", "rgba(r,g,b,a)". False when it does
// not parse; the value is then untouched.
bool ParseColor(std::u16string_view text, COLORREF& out);

enum class SizeUnit : int { px = 0, dp = 1, dip = 2, sp = 3 };

// A dimension: a value and a unit. -1, -2 and -3 are layout markers.
struct SLayoutSize {
  float value = 0;
  SizeUnit unit = SizeUnit::px;
  friend bool operator==(const SLayoutSize&, const SLayoutSize&) = default;

  // The unit for numbers written without one: "px" until a "unit" element of the UI
  // definitions changes it.
  static SizeUnit DefaultUnit();
  static void SetDefaultUnit(SizeUnit unit);
};

// Unit name to unit; nullopt for anything but "px", "dp", "dip", "sp".
std::optional<SizeUnit> UnitFromName(std::u16string_view name);
// Empty text leaves out unchanged and returns false.
bool ParseDimension(std::u16string_view text, SLayoutSize& out);
// Pixels at a scale in percent: markers -1 and -2 stay; "px" truncates; other units
// round scale * value / 100.
int DimensionToPixels(const SLayoutSize& size, int scale);

struct SIntParser {
  using Value = int;
  static bool Parse(std::u16string_view text, Value& out);
};
struct SColorParser {
  using Value = COLORREF;
  static bool Parse(std::u16string_view text, Value& out) { return ParseColor(text, out); }
};
struct SStringParser {
  using Value = std::u16string;
  static bool Parse(std::u16string_view text, Value& out) {
    out.assign(text);
    return true;
  }
};
struct SDimensionParser {
  using Value = SLayoutSize;
  static bool Parse(std::u16string_view text, Value& out) {
    ParseDimension(text, out);
    return true;
  }
};

// Named values of one kind: each child element of the table element is an entry, its
// name the entry name and its "value" attribute the value.
template <class Parser>
class SNamedValue {
 public:
  using Value = typename Parser::Value;

  void Load(const SXmlNode& table) {
    entries_.clear();
    for (SXmlNode e = table.Child(); e; e = e.NextSiblingElement()) {
      std::u16string name = e.Name();
      if (name.size() > kMaxValueName) continue;  // could never be found
      Value v{};
      if (!Parser::Parse(e.Attribute(u"value").Value(), v)) continue;
      entries_.push_back({std::move(name), std::move(v)});
    }
    std::stable_sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  }
  const Value* Find(std::u16string_view name) const {
    if (name.size() > kMaxValueName) return nullptr;
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const auto& e, std::u16string_view n) { return std::u16string_view(e.name) < n; });
    return (it != entries_.end() && it->name == name) ? &it->value : nullptr;
  }
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    std::u16string name;
    Value value;
  };
  std::vector<Entry> entries_;
};

using SNamedInt = SNamedValue<SIntParser>;
using SNamedColor = SNamedValue<SColorParser>;
using SNamedString = SNamedValue<SStringParser>;
using SNamedDimension = SNamedValue<SDimensionParser>;

}  // namespace LOOM
