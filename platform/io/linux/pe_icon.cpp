// The first icon group of a PE file's resources, as a PNG: the resource tree (type,
// name, language) is walked with every offset checked against the file, the group's
// largest image is taken as it is when it is a PNG, or converted from its bitmap (32, 24,
// 8, 4 or 1 bits per pixel with the transparency mask) otherwise.
#include "platform/io/linux/pe_icon.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace platform::detail {
namespace {

constexpr std::uint32_t kGroupIconType = 14;  // RT_GROUP_ICON
constexpr std::uint32_t kIconType = 3;        // RT_ICON
constexpr int kMaxSide = 256;
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Little-endian reads that fail instead of reading past the end.
class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
  bool Has(std::uint64_t offset, std::uint64_t count) const { return offset <= data_.size() && count <= data_.size() - offset; }
  std::optional<std::uint16_t> U16(std::uint64_t at) const {
    if (!Has(at, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
  }
  std::optional<std::uint32_t> U32(std::uint64_t at) const {
    if (!Has(at, 4)) return std::nullopt;
    return std::uint32_t{data_[at]} | (std::uint32_t{data_[at + 1]} << 8) | (std::uint32_t{data_[at + 2]} << 16) |
           (std::uint32_t{data_[at + 3]} << 24);
  }
  std::optional<std::span<const std::uint8_t>> Slice(std::uint64_t at, std::uint64_t count) const {
    if (!Has(at, count)) return std::nullopt;
    return data_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
  }

 private:
  std::span<const std::uint8_t> data_;
};

struct Section {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
  std::uint32_t raw_offset = 0;
  std::uint32_t raw_size = 0;
};

class PeResources {
 public:
  explicit PeResources(std::span<const std::uint8_t> file) : file_(file) {}

  bool Open() {
    if (file_.U16(0) != 0x5A4D) return false;  // "MZ"
    auto pe = file_.U32(0x3C);
    if (!pe || file_.U32(*pe) != 0x00004550) return false;  // "PE\0\0"
    const std::uint64_t coff = std::uint64_t{*pe} + 4;
    auto sections = file_.U16(coff + 2);
    auto optional_size = file_.U16(coff + 16);
    auto magic = file_.U16(coff + 20);
    if (!sections || !optional_size || !magic || (*magic != 0x10B && *magic != 0x20B)) return false;
    const std::uint64_t optional = coff + 20;
    const std::uint64_t directories = optional + (*magic == 0x10B ? 96 : 112);
    auto directory_count = file_.U32(directories - 4);
    if (!directory_count || *directory_count < 3) return false;
    auto resource_rva = file_.U32(directories + 16);
    if (!resource_rva || *resource_rva == 0) return false;
    const std::uint64_t table = optional + *optional_size;
    for (std::uint16_t i = 0; i < *sections; ++i) {
      const std::uint64_t at = table + std::uint64_t{i} * 40;
      auto virtual_size = file_.U32(at + 8), address = file_.U32(at + 12), raw_size = file_.U32(at + 16),
           raw_offset = file_.U32(at + 20);
      if (!virtual_size || !address || !raw_size || !raw_offset) return false;
      sections_.push_back({*address, std::max(*virtual_size, *raw_size), *raw_offset, *raw_size});
    }
    auto base = FileOffset(*resource_rva);
    if (!base) return false;
    base_ = *base;
    return true;
  }

  // The bytes of the first resource of a type with the given id (or the first of the
  // type when id is 0), first language.
  std::optional<std::span<const std::uint8_t>> Find(std::uint32_t type, std::uint32_t id) const {
    auto names = Child(0, type);
    if (!names) return std::nullopt;
    auto languages = Child(*names, id);
    if (!languages) return std::nullopt;
    auto entry = FirstEntry(*languages);
    if (!entry || (*entry & 0x80000000u) != 0) return std::nullopt;  // a data entry, not a directory
    auto rva = file_.U32(base_ + *entry);
    auto size = file_.U32(base_ + *entry + 4);
    if (!rva || !size) return std::nullopt;
    auto offset = FileOffset(*rva);
    if (!offset) return std::nullopt;
    return file_.Slice(*offset, *size);
  }

 private:
  std::optional<std::uint64_t> FileOffset(std::uint32_t rva) const {
    for (const Section& s : sections_) {
      if (rva >= s.address && rva - s.address < s.size && rva - s.address < s.raw_size) {
        return std::uint64_t{s.raw_offset} + (rva - s.address);
      }
    }
    return std::nullopt;
  }
  // The offset (within the resource section) of the subdirectory for `id` in the
  // directory at `directory`; id 0 takes the first entry, named or not.
  std::optional<std::uint32_t> Child(std::uint32_t directory, std::uint32_t id) const {
    auto named = file_.U16(base_ + directory + 12);
    auto numbered = file_.U16(base_ + directory + 14);
    if (!named || !numbered) return std::nullopt;
    const int count = *named + *numbered;
    for (int i = 0; i < count; ++i) {
      const std::uint64_t at = base_ + directory + 16 + std::uint64_t(i) * 8;
      auto name = file_.U32(at);
      auto target = file_.U32(at + 4);
      if (!name || !target) return std::nullopt;
      const bool matches = id == 0 || ((*name & 0x80000000u) == 0 && *name == id);
      if (!matches) continue;
      if ((*target & 0x80000000u) == 0) return std::nullopt;  // a leaf where a directory belongs
      return *target & 0x7FFFFFFFu;
    }
    return std::nullopt;
  }
  std::optional<std::uint32_t> FirstEntry(std::uint32_t directory) const {
    auto named = file_.U16(base_ + directory + 12);
    auto numbered = file_.U16(base_ + directory + 14);
    if (!named || !numbered || *named + *numbered == 0) return std::nullopt;
    return file_.U32(base_ + directory + 16 + 4);
  }

  Bytes file_;
  std::vector<Section> sections_;
  std::uint64_t base_ = 0;
};

// An icon image stored as a bitmap: its header (doubled height), palette, colour rows
// bottom-up and the 1-bit transparency mask.
std::optional<std::vector<std::uint8_t>> BitmapToPng(std::span<const std::uint8_t> image) {
  Bytes bytes(image);
  auto header_size = bytes.U32(0);
  auto raw_width = bytes.U32(4), raw_height = bytes.U32(8);
  auto bits = bytes.U16(14);
  auto compression = bytes.U32(16);
  auto used_colours = bytes.U32(32);
  if (!header_size || *header_size < 40 || !raw_width || !raw_height || !bits || !compression || !used_colours) {
    return std::nullopt;
  }
  const auto width = static_cast<std::int32_t>(*raw_width);
  const auto height = static_cast<std::int32_t>(*raw_height) / 2;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || *compression != 0) return std::nullopt;
  if (*bits != 32 && *bits != 24 && *bits != 8 && *bits != 4 && *bits != 1) return std::nullopt;
  const std::uint32_t palette_size = *bits <= 8 ? (*used_colours != 0 ? std::min<std::uint32_t>(*used_colours, 1u << *bits) : 1u << *bits) : 0;
  const std::uint64_t palette_at = *header_size;
  const std::uint64_t colour_stride = ((std::uint64_t(width) * *bits + 31) / 32) * 4;
  const std::uint64_t mask_stride = ((std::uint64_t(width) + 31) / 32) * 4;
  const std::uint64_t colour_at = palette_at + std::uint64_t{palette_size} * 4;
  const std::uint64_t mask_at = colour_at + colour_stride * height;
  if (!bytes.Has(colour_at, colour_stride * height)) return std::nullopt;
  const bool has_mask = bytes.Has(mask_at, mask_stride * height);

  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
  bool any_alpha = false;
  for (int y = 0; y < height; ++y) {
    const std::uint64_t row = colour_at + colour_stride * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* out = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
      std::uint32_t bgra = 0xFF000000u;
      if (*bits == 32) {
        bgra = *bytes.U32(row + std::uint64_t(x) * 4);
      } else if (*bits == 24) {
        auto px = *bytes.Slice(row + std::uint64_t(x) * 3, 3);
        bgra = 0xFF000000u | px[0] | (px[1] << 8) | (px[2] << 16);
      } else {
        const std::uint64_t bit = std::uint64_t(x) * *bits;
        const std::uint8_t byte = (*bytes.Slice(row + bit / 8, 1))[0];
        const unsigned index = (byte >> (8 - *bits - bit % 8)) & ((1u << *bits) - 1);
        auto colour = index < palette_size ? bytes.U32(palette_at + index * 4) : std::optional<std::uint32_t>(0);
        bgra = 0xFF000000u | (colour.value_or(0) & 0xFFFFFFu);
      }
      out[0] = static_cast<std::uint8_t>(bgra >> 16);
      out[1] = static_cast<std::uint8_t>(bgra >> 8);
      out[2] = static_cast<std::uint8_t>(bgra);
      out[3] = static_cast<std::uint8_t>(bgra >> 24);
      if (*bits == 32 && out[3] != 0) any_alpha = true;
    }
  }
  // Without an alpha channel of its own the mask says which pixels are transparent.
  if (*bits != 32 || !any_alpha) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t& alpha = rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3];
        alpha = 255;
        if (!has_mask) continue;
        const std::uint8_t byte = (*bytes.Slice(mask_at + mask_stride * (height - 1 - y) + x / 8, 1))[0];
        if ((byte >> (7 - x % 8)) & 1) alpha = 0;
      }
    }
  }
  return EncodePng(width, height, rgba);
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, std::span<const std::uint8_t> data) {
  auto put32 = [&](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
  };
  put32(static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgba) {
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (static_cast<std::size_t>(width) * 4 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    auto row = rgba.subspan(static_cast<std::size_t>(y) * width * 4, static_cast<std::size_t>(width) * 4);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packed_size);

  std::vector<std::uint8_t> out(kPngSignature.begin(), kPngSignature.end());
  std::uint8_t header[13] = {};
  for (int i = 0; i < 4; ++i) {
    header[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(width) >> (24 - 8 * i));
    header[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (24 - 8 * i));
  }
  header[8] = 8;   // bits per channel
  header[9] = 6;   // RGBA
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

std::optional<std::vector<std::uint8_t>> ExecutableIconPng(std::span<const std::uint8_t> executable) {
  PeResources resources(executable);
  if (!resources.Open()) return std::nullopt;
  auto group = resources.Find(kGroupIconType, 0);
  if (!group) return std::nullopt;
  Bytes directory(*group);
  auto count = directory.U16(4);
  if (directory.U16(2) != 1 || !count) return std::nullopt;
  // The largest image, more colour bits first among equal sizes.
  int best_side = 0, best_bits = 0;
  std::uint16_t best_id = 0;
  for (std::uint16_t i = 0; i < *count; ++i) {
    const std::uint64_t at = 6 + std::uint64_t{i} * 14;
    auto side_byte = directory.Slice(at, 1);
    auto bits = directory.U16(at + 6);
    auto id = directory.U16(at + 12);
    if (!side_byte || !bits || !id) break;
    const int side = (*side_byte)[0] == 0 ? 256 : (*side_byte)[0];
    if (side > best_side || (side == best_side && *bits > best_bits)) {
      best_side = side;
      best_bits = *bits;
      best_id = *id;
    }
  }
  if (best_id == 0) return std::nullopt;
  auto image = resources.Find(kIconType, best_id);
  if (!image) return std::nullopt;
  if (image->size() >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), image->begin())) {
    return std::vector<std::uint8_t>(image->begin(), image->end());
  }
  return BitmapToPng(*image);
}

}  // namespace platform::detail
