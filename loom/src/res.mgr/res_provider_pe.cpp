#include <cstring>

#include "core/res_provider.h"
#include "core/text_util.h"

namespace LOOM {

bool SResProviderPE::OpenSource(UINT_PTR p1, LPARAM) {
  module_ = reinterpret_cast<HINSTANCE>(p1);
  return true;
}

std::span<const unsigned char> SResProviderPE::Find(std::u16string_view type, std::u16string_view name) const {
  std::u16string mapped(type);
  if (EqualsNoCase(type, u"BITMAP")) mapped = platform::NumericResourceType(platform::kRtBitmap);
  else if (EqualsNoCase(type, u"ICON")) mapped = platform::NumericResourceType(platform::kRtGroupIcon);
  else if (EqualsNoCase(type, u"HTML")) mapped = platform::NumericResourceType(platform::kRtHtml);
  else if (EqualsNoCase(type, u"CURSOR")) {
    auto bytes = platform::FindModuleResource(module_, platform::NumericResourceType(platform::kRtGroupCursor), name);
    if (!bytes.empty()) return bytes;
    mapped = platform::NumericResourceType(platform::kRtAniCursor);
  }
  return platform::FindModuleResource(module_, mapped, name);
}

bool SResProviderPE::HoldsResource(std::u16string_view type, std::u16string_view name) const {
  return !Find(type, name).empty();
}

std::size_t SResProviderPE::ResourceSize(std::u16string_view type, std::u16string_view name) const {
  return Find(type, name).size();
}

bool SResProviderPE::CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer,
                                       std::size_t size) const {
  auto bytes = Find(type, name);
  if (bytes.empty()) return false;
  if (size < bytes.size() || !buffer) {
    platform::SetLastErrorCode(platform::kErrorInsufficientBuffer);
    return false;
  }
  std::memcpy(buffer, bytes.data(), bytes.size());
  return true;
}

IBitmap* SResProviderPE::OpenImage(std::u16string_view type, std::u16string_view name) const {
  auto bytes = Find(type, name);
  return bytes.empty() ? nullptr : BitmapFromBytes(bytes.data(), bytes.size());
}

IImgX* SResProviderPE::OpenImageFrames(std::u16string_view type, std::u16string_view name) const {
  auto bytes = Find(type, name);
  return bytes.empty() ? nullptr : ImageFromBytes(bytes.data(), bytes.size());
}

HICON SResProviderPE::OpenIcon(std::u16string_view name, int width, int) const {
  auto bytes = Find(u"ICON", name);
  return bytes.empty() ? nullptr : IconFromIconFile(bytes.data(), bytes.size(), width);
}

IBitmap* SResProviderPE::OpenPlatformBitmap(std::u16string_view name) const { return OpenImage(u"BITMAP", name); }

HCURSOR SResProviderPE::OpenCursor(std::u16string_view name) const {
  auto ani = platform::FindModuleResource(module_, platform::NumericResourceType(platform::kRtAniCursor), name);
  if (!ani.empty()) return CursorFromAniFile(ani.data(), ani.size());
  auto cur = platform::FindModuleResource(module_, platform::NumericResourceType(platform::kRtGroupCursor), name);
  return cur.empty() ? nullptr : CursorFromCursorFile(cur.data(), cur.size());
}

}  // namespace LOOM
