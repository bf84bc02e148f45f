// Small Windows executables for the tests: a PE32 header, one section ".rsrc" holding
// an icon group (RT_GROUP_ICON 1) whose images are RT_ICON 1..n, each a PNG or a
// bitmap as icon files store them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pe_test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct IconEntry {
  int side = 32;   // 256 is stored as 0
  int bits = 32;
  Bytes data;      // PNG bytes or a bitmap
};

// A 32-bit bitmap image: every pixel `bgra`, with an empty mask.
inline Bytes Bitmap32(int side, std::uint32_t bgra) {
  const std::size_t mask_stride = ((side + 31) / 32) * 4;
  Bytes b(40 + static_cast<std::size_t>(side) * side * 4 + mask_stride * side, 0);
  Put32(b, 0, 40);
  Put32(b, 4, side);
  Put32(b, 8, side * 2);
  Put16(b, 12, 1);
  Put16(b, 14, 32);
  for (int i = 0; i < side * side; ++i) Put32(b, 40 + i * 4, bgra);
  return b;
}

// A 4-bit bitmap with a palette of two colours: left half colour 0, right half colour
// 1, and the top row masked out (transparent).
inline Bytes Bitmap4(int side, std::uint32_t colour0, std::uint32_t colour1) {
  const std::size_t stride = ((side * 4 + 31) / 32) * 4, mask_stride = ((side + 31) / 32) * 4;
  Bytes b(40 + 16 * 4 + stride * side + mask_stride * side, 0);
  Put32(b, 0, 40);
  Put32(b, 4, side);
  Put32(b, 8, side * 2);
  Put16(b, 12, 1);
  Put16(b, 14, 4);
  Put32(b, 40, colour0);
  Put32(b, 44, colour1);
  const std::size_t pixels = 40 + 64;
  for (int y = 0; y < side; ++y) {
    for (int x = side / 2; x < side; ++x) b[pixels + y * stride + x / 2] |= static_cast<std::uint8_t>(x % 2 ? 0x01 : 0x10);
  }
  const std::size_t mask = pixels + stride * side;
  const std::size_t top_row = mask + mask_stride * (side - 1);  // rows are stored bottom-up
  for (std::size_t i = 0; i < mask_stride; ++i) b[top_row + i] = 0xFF;
  return b;
}

// The executable: "MZ" header, "PE" header with the resource directory, the section.
inline Bytes Executable(const std::vector<IconEntry>& icons) {
  constexpr std::uint32_t kSectionRva = 0x1000, kSectionFile = 0x200;
  // The resource tree: root (types) -> per type, the names -> per name, the languages -> data.
  Bytes rsrc;
  auto grow = [&](std::size_t n) {
    const std::size_t at = rsrc.size();
    rsrc.resize(at + n, 0);
    return at;
  };
  auto directory = [&](int entries) {
    const std::size_t at = grow(16 + 8 * entries);
    Put16(rsrc, at + 14, entries);
    return at;
  };
  auto set_entry = [&](std::size_t dir, int index, std::uint32_t id, std::uint32_t target) {
    Put32(rsrc, dir + 16 + index * 8, id);
    Put32(rsrc, dir + 16 + index * 8 + 4, target);
  };
  // Every resource below its name: a language dir with one data entry; answers the dir.
  std::vector<std::pair<std::size_t, Bytes>> payloads;
  auto leaf = [&](const Bytes& data) {
    const std::size_t languages = directory(1);
    const std::size_t entry = grow(16);
    set_entry(languages, 0, 0x409, static_cast<std::uint32_t>(entry));
    payloads.push_back({entry, data});
    return languages;
  };
  const std::size_t root = directory(2);
  const std::size_t icon_type = directory(static_cast<int>(icons.size()));
  const std::size_t group_type = directory(1);
  set_entry(root, 0, 3, 0x80000000u | static_cast<std::uint32_t>(icon_type));
  set_entry(root, 1, 14, 0x80000000u | static_cast<std::uint32_t>(group_type));
  Bytes group(6 + 14 * icons.size(), 0);
  Put16(group, 2, 1);
  Put16(group, 4, static_cast<std::uint32_t>(icons.size()));
  for (std::size_t i = 0; i < icons.size(); ++i) {
    const std::size_t languages = leaf(icons[i].data);
    set_entry(icon_type, static_cast<int>(i), static_cast<std::uint32_t>(i + 1), 0x80000000u | static_cast<std::uint32_t>(languages));
    const std::size_t at = 6 + 14 * i;
    group[at] = group[at + 1] = static_cast<std::uint8_t>(icons[i].side >= 256 ? 0 : icons[i].side);
    Put16(group, at + 4, 1);
    Put16(group, at + 6, icons[i].bits);
    Put32(group, at + 8, static_cast<std::uint32_t>(icons[i].data.size()));
    Put16(group, at + 12, static_cast<std::uint32_t>(i + 1));
  }
  set_entry(group_type, 0, 1, 0x80000000u | static_cast<std::uint32_t>(leaf(group)));
  for (auto& [entry, data] : payloads) {
    while (rsrc.size() % 8) rsrc.push_back(0);
    Put32(rsrc, entry, kSectionRva + static_cast<std::uint32_t>(rsrc.size()));
    Put32(rsrc, entry + 4, static_cast<std::uint32_t>(data.size()));
    rsrc.insert(rsrc.end(), data.begin(), data.end());
  }

  Bytes file(kSectionFile, 0);
  file[0] = 'M';
  file[1] = 'Z';
  constexpr std::size_t pe = 0x80;
  Put32(file, 0x3C, pe);
  file[pe] = 'P';
  file[pe + 1] = 'E';
  const std::size_t coff = pe + 4;
  Put16(file, coff, 0x14C);
  Put16(file, coff + 2, 1);      // one section
  Put16(file, coff + 16, 224);   // optional header size (PE32)
  const std::size_t optional = coff + 20;
  Put16(file, optional, 0x10B);
  Put32(file, optional + 92, 16);                 // data directories
  Put32(file, optional + 96 + 16, kSectionRva);   // resources
  Put32(file, optional + 96 + 20, static_cast<std::uint32_t>(rsrc.size()));
  const std::size_t section = optional + 224;
  std::copy_n(".rsrc", 5, file.begin() + static_cast<std::ptrdiff_t>(section));
  Put32(file, section + 8, static_cast<std::uint32_t>(rsrc.size()));
  Put32(file, section + 12, kSectionRva);
  Put32(file, section + 16, static_cast<std::uint32_t>(rsrc.size()));
  Put32(file, section + 20, kSectionFile);
  // Grown and then filled: inserting the section trips a false array-bounds warning
  // of GCC 12 at -O3.
  file.resize(kSectionFile + rsrc.size());
  std::copy(rsrc.begin(), rsrc.end(), file.begin() + static_cast<std::ptrdiff_t>(kSectionFile));
  return file;
}

}  // namespace pe_test
