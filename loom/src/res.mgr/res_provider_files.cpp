#include <filesystem>
#include <fstream>

#include "core/render.h"
#include "core/res_provider.h"
#include "core/text_util.h"
#include "core/xml.h"
#include "decoders/decoded_image.h"
#include "platform/base/utf.h"

namespace LOOM {
namespace {

constexpr std::size_t kMaxType = 29;
constexpr std::size_t kMaxName = 99;

std::u16string Key(std::u16string_view type, std::u16string_view name) {
  return ToLower(type) + u'\x01' + ToLower(name);
}

std::filesystem::path FsPath(const std::u16string& p) { return platform::PathFromUtf16(p); }

}  // namespace

bool SResProviderFiles::OpenSource(UINT_PTR p1, LPARAM) {
  const auto* folder = reinterpret_cast<const char16_t*>(p1);
  if (!folder) return false;
  std::u16string dir(folder);
  while (dir.size() > 1 && (dir.back() == u'/' || dir.back() == u'\\')) dir.pop_back();
  SXmlDoc doc;
  if (!doc.LoadFile(dir + u"/uires.idx")) return false;
  SXmlNode root = doc.Child(u"resource");
  if (!root) return false;
  index_.clear();
  for (SXmlNode type = root.Child(); type; type = type.NextSiblingElement()) {
    for (SXmlNode file = type.Child(u"file"); file; file = file.NextSiblingElement(u"file")) {
      std::u16string type_name = type.Name(), name = file.Attribute(u"name").Value();
      if (type_name.size() > kMaxType || name.size() > kMaxName) continue;
      index_.emplace(Key(type_name, name), file.Attribute(u"path").Value());
    }
  }
  std::error_code ec;
  std::filesystem::path abs = std::filesystem::absolute(FsPath(dir), ec);
  base_dir_ = ec ? dir : platform::Utf8ToUtf16(abs.string());
  return true;
}

std::u16string SResProviderFiles::PathOf(std::u16string_view type, std::u16string_view name) const {
  if (type.size() > kMaxType || name.size() > kMaxName) return {};
  auto it = index_.find(Key(type, name));
  if (it == index_.end()) return {};
  std::u16string rel = it->second;
  for (auto& c : rel)
    if (c == u'\\') c = u'/';
  return base_dir_ + u"/" + rel;
}

bool SResProviderFiles::HoldsResource(std::u16string_view type, std::u16string_view name) const {
  return !PathOf(type, name).empty();
}

std::size_t SResProviderFiles::ResourceSize(std::u16string_view type, std::u16string_view name) const {
  std::u16string path = PathOf(type, name);
  if (path.empty()) return 0;
  std::error_code ec;
  auto size = std::filesystem::file_size(FsPath(path), ec);
  return ec ? 0 : static_cast<std::size_t>(size);
}

bool SResProviderFiles::CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer,
                                          std::size_t size) const {
  std::u16string path = PathOf(type, name);
  if (path.empty()) return false;
  std::ifstream in(FsPath(path), std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff file_size = in.tellg();
  if (file_size < 0) return false;
  if (size < static_cast<std::size_t>(file_size) || !buffer) {
    platform::SetLastErrorCode(platform::kErrorInsufficientBuffer);
    return false;
  }
  in.seekg(0);
  return static_cast<bool>(in.read(static_cast<char*>(buffer), file_size));
}

IBitmap* SResProviderFiles::OpenImage(std::u16string_view type, std::u16string_view name) const {
  std::vector<std::uint8_t> bytes;
  std::u16string path = PathOf(type, name);
  if (path.empty() || !ReadWholeFile(path, bytes)) return nullptr;
  return BitmapFromBytes(bytes.data(), bytes.size());
}

IImgX* SResProviderFiles::OpenImageFrames(std::u16string_view type, std::u16string_view name) const {
  std::vector<std::uint8_t> bytes;
  std::u16string path = PathOf(type, name);
  if (path.empty() || !ReadWholeFile(path, bytes)) return nullptr;
  return ImageFromBytes(bytes.data(), bytes.size());
}

HICON SResProviderFiles::OpenIcon(std::u16string_view name, int width, int) const {
  std::vector<std::uint8_t> bytes;
  std::u16string path = PathOf(u"ICON", name);
  if (path.empty() || !ReadWholeFile(path, bytes)) return nullptr;
  return IconFromIconFile(bytes.data(), bytes.size(), width);
}

IBitmap* SResProviderFiles::OpenPlatformBitmap(std::u16string_view name) const { return OpenImage(u"BITMAP", name); }

HCURSOR SResProviderFiles::OpenCursor(std::u16string_view name) const {
  std::vector<std::uint8_t> bytes;
  std::u16string path = PathOf(u"CURSOR", name);
  if (path.empty() || !ReadWholeFile(path, bytes)) return nullptr;
  if (HCURSOR ani = CursorFromAniFile(bytes.data(), bytes.size())) return ani;
  return CursorFromCursorFile(bytes.data(), bytes.size());
}

}  // namespace LOOM
