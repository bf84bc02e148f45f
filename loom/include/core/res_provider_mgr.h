// The resource provider manager: the registered providers, asked from the most
// recently added; the cursor cache; the system cursor names. Every operation takes
// the manager's lock.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/res_provider.h"

namespace LOOM {

// The system cursor id for a name of the system cursor table (case-insensitive), 0 when
// the name is not in it.
int SystemCursorId(std::u16string_view name);

class SResProviderMgr {
 public:
  SResProviderMgr() = default;
  ~SResProviderMgr();
  SResProviderMgr(const SResProviderMgr&) = delete;
  SResProviderMgr& operator=(const SResProviderMgr&) = delete;

  // Appends the provider; with a UI-definition reference ("uidef:xml_init") also builds
  // those definitions through it and makes them current.
  void AttachProvider(IResProvider* provider, std::u16string_view uidef_ref = {});
  void DetachProvider(IResProvider* provider);
  void ClearProviders();
  IResProvider* ProviderHolding(std::u16string_view type, std::u16string_view name) const;
  std::size_t ProviderCount() const;

  bool HoldsResource(std::u16string_view type, std::u16string_view name) const;
  std::size_t ResourceSize(std::u16string_view type, std::u16string_view name) const;
  bool CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer, std::size_t size) const;
  IBitmap* OpenImage(std::u16string_view type, std::u16string_view name) const;
  IImgX* OpenImageFrames(std::u16string_view type, std::u16string_view name) const;
  IBitmap* OpenPlatformBitmap(std::u16string_view name, bool from_file) const;
  HICON OpenIcon(std::u16string_view name, int width, int height, bool from_file) const;
  HCURSOR OpenCursor(std::u16string_view name, bool from_file);
  // "type:name" loads an image; anything else yields nullptr.
  IBitmap* OpenImageByRef(std::u16string_view ref) const;
  // "name:size", or "name" at the platform's default size.
  HICON OpenIconByRef(std::u16string_view ref) const;

 private:
  mutable std::recursive_mutex lock_;
  std::vector<SAutoRefPtr<IResProvider>> providers_;
  std::map<std::u16string, HCURSOR> cursors_;
};

}  // namespace LOOM
