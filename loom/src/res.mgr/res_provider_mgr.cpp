#include "core/res_provider_mgr.h"

#include <filesystem>
#include <fstream>

#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/text_util.h"
#include "core/ui_def.h"
#include "decoders/decoded_image.h"
#include "platform/base/utf.h"

namespace LOOM {
namespace {

struct CursorName {
  std::u16string_view name;
  int id;
};
constexpr CursorName kSystemCursors[] = {
    {u"arrow", 32512}, {u"ibeam", 32513},    {u"wait", 32514},    {u"cross", 32515},  {u"uparrow", 32516},
    {u"size", 32640},  {u"sizenwse", 32642}, {u"sizenesw", 32643}, {u"sizewe", 32644}, {u"sizens", 32645},
    {u"sizeall", 32646}, {u"no", 32648},     {u"hand", 32649},    {u"help", 32651},
};

bool IsFileType(std::u16string_view type) { return EqualsNoCase(type, u"file"); }

std::filesystem::path FsPath(std::u16string_view p) { return platform::PathFromUtf16(p); }

bool ReadFileBytes(std::u16string_view path, std::vector<std::uint8_t>& out) { return ReadWholeFile(path, out); }

}  // namespace

int SystemCursorId(std::u16string_view name) {
  for (const auto& c : kSystemCursors)
    if (EqualsNoCase(c.name, name)) return c.id;
  return 0;
}

SResProviderMgr::~SResProviderMgr() { ClearProviders(); }

void SResProviderMgr::AttachProvider(IResProvider* provider, std::u16string_view uidef_ref) {
  if (!provider) return;
  std::lock_guard lock(lock_);
  providers_.emplace_back(provider);
  if (!uidef_ref.empty()) {
    SAutoRefPtr<SUiDefInfo> info = SAutoRefPtr<SUiDefInfo>::Adopt(BuildUiDefinitions(provider, uidef_ref));
    if (info) MakeDefinitionsCurrent(info.get());
  }
}

void SResProviderMgr::DetachProvider(IResProvider* provider) {
  std::lock_guard lock(lock_);
  for (auto it = providers_.rbegin(); it != providers_.rend(); ++it) {
    if (it->get() == provider) {
      providers_.erase(std::next(it).base());
      return;
    }
  }
}

void SResProviderMgr::ClearProviders() {
  std::lock_guard lock(lock_);
  providers_.clear();
  for (auto& [name, cursor] : cursors_) platform::DestroyIcon(cursor);
  cursors_.clear();
}

std::size_t SResProviderMgr::ProviderCount() const {
  std::lock_guard lock(lock_);
  return providers_.size();
}

IResProvider* SResProviderMgr::ProviderHolding(std::u16string_view type, std::u16string_view name) const {
  std::lock_guard lock(lock_);
  if (type.empty()) return nullptr;
  for (auto it = providers_.rbegin(); it != providers_.rend(); ++it)
    if ((*it)->HoldsResource(type, name)) return it->get();
  return nullptr;
}

bool SResProviderMgr::HoldsResource(std::u16string_view type, std::u16string_view name) const {
  std::lock_guard lock(lock_);
  if (IsFileType(type)) {
    std::error_code ec;
    return std::filesystem::exists(FsPath(name), ec);
  }
  return ProviderHolding(type, name) != nullptr;
}

std::size_t SResProviderMgr::ResourceSize(std::u16string_view type, std::u16string_view name) const {
  std::lock_guard lock(lock_);
  if (IsFileType(type)) {
    std::error_code ec;
    auto size = std::filesystem::file_size(FsPath(name), ec);
    return ec ? 0 : static_cast<std::size_t>(size);
  }
  IResProvider* p = ProviderHolding(type, name);
  return p ? p->ResourceSize(type, name) : 0;
}

bool SResProviderMgr::CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer,
                                        std::size_t size) const {
  std::lock_guard lock(lock_);
  if (IsFileType(type)) {
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(name, bytes)) return false;
    if (size < bytes.size() || !buffer) {
      platform::SetLastErrorCode(platform::kErrorInsufficientBuffer);
      return false;
    }
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(buffer));
    return true;
  }
  IResProvider* p = ProviderHolding(type, name);
  return p && p->CopyResourceBytes(type, name, buffer, size);
}

IBitmap* SResProviderMgr::OpenImage(std::u16string_view type, std::u16string_view name) const {
  std::lock_guard lock(lock_);
  if (IsFileType(type)) {
    std::vector<std::uint8_t> bytes;
    return ReadFileBytes(name, bytes) ? BitmapFromBytes(bytes.data(), bytes.size()) : nullptr;
  }
  IResProvider* p = ProviderHolding(type, name);
  return p ? p->OpenImage(type, name) : nullptr;
}

IImgX* SResProviderMgr::OpenImageFrames(std::u16string_view type, std::u16string_view name) const {
  std::lock_guard lock(lock_);
  if (IsFileType(type)) {
    std::vector<std::uint8_t> bytes;
    return ReadFileBytes(name, bytes) ? ImageFromBytes(bytes.data(), bytes.size()) : nullptr;
  }
  IResProvider* p = ProviderHolding(type, name);
  return p ? p->OpenImageFrames(type, name) : nullptr;
}

IBitmap* SResProviderMgr::OpenPlatformBitmap(std::u16string_view name, bool from_file) const {
  std::lock_guard lock(lock_);
  if (from_file) return OpenImage(u"file", name);
  IResProvider* p = ProviderHolding(u"BITMAP", name);
  return p ? p->OpenPlatformBitmap(name) : nullptr;
}

HICON SResProviderMgr::OpenIcon(std::u16string_view name, int width, int height, bool from_file) const {
  std::lock_guard lock(lock_);
  if (from_file) {
    std::vector<std::uint8_t> bytes;
    return ReadFileBytes(name, bytes) ? IconFromIconFile(bytes.data(), bytes.size(), width) : nullptr;
  }
  IResProvider* p = ProviderHolding(u"ICON", name);
  return p ? p->OpenIcon(name, width, height) : nullptr;
}

HCURSOR SResProviderMgr::OpenCursor(std::u16string_view name, bool from_file) {
  std::lock_guard lock(lock_);
  if (auto id = ReadInt(name); id && *id > 0 && *id < 65536 && IntToText(*id) == name)
    return platform::LoadSystemCursor(*id);
  if (int id = SystemCursorId(name)) return platform::LoadSystemCursor(id);
  std::u16string key(name);
  if (auto it = cursors_.find(key); it != cursors_.end()) return it->second;
  HCURSOR cursor = nullptr;
  if (from_file) {
    std::vector<std::uint8_t> bytes;
    if (ReadFileBytes(name, bytes)) {
      cursor = CursorFromAniFile(bytes.data(), bytes.size());
      if (!cursor) cursor = CursorFromCursorFile(bytes.data(), bytes.size());
    }
  } else if (IResProvider* p = ProviderHolding(u"CURSOR", name)) {
    cursor = p->OpenCursor(name);
  }
  if (cursor) cursors_.emplace(std::move(key), cursor);
  return cursor;
}

IBitmap* SResProviderMgr::OpenImageByRef(std::u16string_view ref) const {
  auto parts = SplitFirst(ref, u':');
  if (parts.size() != 2) return nullptr;
  return OpenImage(parts[0], parts[1]);
}

HICON SResProviderMgr::OpenIconByRef(std::u16string_view ref) const {
  auto parts = SplitFirst(ref, u':');
  int size = parts.size() == 2 ? IntOr0(parts[1], false) : 0;
  return OpenIcon(parts[0], size, size, false);
}

}  // namespace LOOM
