#include "repair/path_key.h"

namespace krdn {
namespace {

bool In(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }

// Ranges where capital and small letters alternate: with the small letters on odd units
// when capitals are even, and on even units when capitals are odd.
char16_t Paired(char16_t c, bool capitals_even) {
  const bool even = c % 2 == 0;
  return even == capitals_even ? c : static_cast<char16_t>(c - 1);
}

char16_t Shift(char16_t c, int by) { return static_cast<char16_t>(c - by); }

}  // namespace

char16_t UpperCase(char16_t c) {
  if (In(c, u'a', u'z')) return Shift(c, 0x20);
  if (c < 0xE0) return c;
  if (In(c, 0xE0, 0xFE) && c != 0xF7) return Shift(c, 0x20);
  if (c == 0xFF) return 0x178;
  if (In(c, 0x100, 0x12F) || In(c, 0x132, 0x137) || In(c, 0x14A, 0x177)) return Paired(c, true);
  if (In(c, 0x139, 0x148) || In(c, 0x179, 0x17E)) return Paired(c, false);
  if (c == 0x3AC) return 0x386;
  if (In(c, 0x3AD, 0x3AF)) return Shift(c, 0x25);
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (In(c, 0x3B1, 0x3CB)) return Shift(c, 0x20);
  if (c == 0x3CC) return 0x38C;
  if (In(c, 0x3CD, 0x3CE)) return Shift(c, 0x3F);
  if (In(c, 0x430, 0x44F)) return Shift(c, 0x20);
  if (In(c, 0x450, 0x45F)) return Shift(c, 0x50);
  if (In(c, 0x460, 0x481) || In(c, 0x48A, 0x4BF) || In(c, 0x4D0, 0x52F)) return Paired(c, true);
  if (In(c, 0x4C1, 0x4CE)) return Paired(c, false);
  if (c == 0x4CF) return 0x4C0;
  if (In(c, 0x561, 0x586)) return Shift(c, 0x30);
  if (In(c, 0x1E00, 0x1E95) || In(c, 0x1EA0, 0x1EFF)) return Paired(c, true);
  if (In(c, 0xFF41, 0xFF5A)) return Shift(c, 0x20);
  return c;
}

std::u16string PathKey(std::u16string_view manifest_path) {
  std::u16string key;
  key.reserve(manifest_path.size());
  std::size_t start = 0;
  while (start <= manifest_path.size()) {
    std::size_t end = start;
    while (end < manifest_path.size() && manifest_path[end] != u'\\' && manifest_path[end] != u'/') ++end;
    std::u16string_view component = manifest_path.substr(start, end - start);
    // Windows drops a name's trailing dots and spaces: "a." and "a " are "a" there.
    while (!component.empty() && (component.back() == u'.' || component.back() == u' ') && component != u".") {
      component.remove_suffix(1);
    }
    if (!component.empty() && component != u".") {
      if (!key.empty()) key += u'\\';
      for (const char16_t c : component) key += UpperCase(c);
    }
    start = end + 1;
  }
  return key;
}

std::optional<std::u16string> PathClaims::Claim(std::u16string_view path) {
  const std::u16string key = PathKey(path);
  if (const auto file = files_.find(key); file != files_.end()) return file->second;
  if (const auto directory = directories_.find(key); directory != directories_.end()) return directory->second;
  for (std::size_t cut = key.find(u'\\'); cut != std::u16string::npos; cut = key.find(u'\\', cut + 1)) {
    if (const auto file = files_.find(key.substr(0, cut)); file != files_.end()) return file->second;
  }
  for (std::size_t cut = key.find(u'\\'); cut != std::u16string::npos; cut = key.find(u'\\', cut + 1)) {
    directories_.try_emplace(key.substr(0, cut), path);
  }
  files_.emplace(key, path);
  return std::nullopt;
}

}  // namespace krdn
