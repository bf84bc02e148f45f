// Resource providers: sources of files named by (type, name). One serves the
// resources embedded in the executable, one a folder described by "uires.idx".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/obj_ref.h"
#include "platform/base/icon.h"
#include "platform/toolkit/module_resources.h"

namespace LOOM {

struct IBitmap;
struct IImgX;

struct IResProvider : IObjRef {
  // Embedded provider: p1 is the module instance. Folder provider: p1 points to the
  // folder path (const char16_t*, NUL-terminated). p2 is ignored by both.
  virtual bool OpenSource(UINT_PTR p1, LPARAM p2) = 0;
  virtual bool HoldsResource(std::u16string_view type, std::u16string_view name) const = 0;
  virtual HICON OpenIcon(std::u16string_view name, int width, int height) const = 0;
  // A picture of type "BITMAP", decoded; one reference to the caller.
  virtual IBitmap* OpenPlatformBitmap(std::u16string_view name) const = 0;
  virtual HCURSOR OpenCursor(std::u16string_view name) const = 0;
  virtual IBitmap* OpenImage(std::u16string_view type, std::u16string_view name) const = 0;
  virtual IImgX* OpenImageFrames(std::u16string_view type, std::u16string_view name) const = 0;
  virtual std::size_t ResourceSize(std::u16string_view type, std::u16string_view name) const = 0;
  // False with last error 122 when the buffer is smaller than the resource.
  virtual bool CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer,
                                 std::size_t size) const = 0;

 protected:
  ~IResProvider() = default;
};

// 0: over the executable's resources, 1: over a folder; nullptr for other kinds.
IResProvider* NewResourceProvider(int kind);
// Convenience forms of OpenSource.
bool OpenModuleSource(IResProvider* provider, HINSTANCE module);
bool OpenFolderSource(IResProvider* provider, std::u16string_view folder);

// Helpers shared by the providers: a picture or image from bytes through the
// application's render and decoder factories; icons and cursors from icon files.
IBitmap* BitmapFromBytes(const void* data, std::size_t size);
IImgX* ImageFromBytes(const void* data, std::size_t size);
HICON IconFromIconFile(const void* data, std::size_t size, int width);
HCURSOR CursorFromCursorFile(const void* data, std::size_t size);
// An animated cursor's first image ("RIFF"/"ACON" holding cursor files).
HCURSOR CursorFromAniFile(const void* data, std::size_t size);

class SResProviderPE final : public TObjRefImpl<IResProvider> {
 public:
  bool OpenSource(UINT_PTR p1, LPARAM p2) override;
  bool HoldsResource(std::u16string_view type, std::u16string_view name) const override;
  HICON OpenIcon(std::u16string_view name, int width, int height) const override;
  IBitmap* OpenPlatformBitmap(std::u16string_view name) const override;
  HCURSOR OpenCursor(std::u16string_view name) const override;
  IBitmap* OpenImage(std::u16string_view type, std::u16string_view name) const override;
  IImgX* OpenImageFrames(std::u16string_view type, std::u16string_view name) const override;
  std::size_t ResourceSize(std::u16string_view type, std::u16string_view name) const override;
  bool CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer,
                         std::size_t size) const override;

 private:
  // The bytes of (type, name) with the named types mapped to the platform's numbers;
  // cursors fall back to animated cursors.
  std::span<const unsigned char> Find(std::u16string_view type, std::u16string_view name) const;
  HINSTANCE module_ = nullptr;
};

class SResProviderFiles final : public TObjRefImpl<IResProvider> {
 public:
  bool OpenSource(UINT_PTR p1, LPARAM p2) override;
  bool HoldsResource(std::u16string_view type, std::u16string_view name) const override;
  HICON OpenIcon(std::u16string_view name, int width, int height) const override;
  IBitmap* OpenPlatformBitmap(std::u16string_view name) const override;
  HCURSOR OpenCursor(std::u16string_view name) const override;
  IBitmap* OpenImage(std::u16string_view type, std::u16string_view name) const override;
  IImgX* OpenImageFrames(std::u16string_view type, std::u16string_view name) const override;
  std::size_t ResourceSize(std::u16string_view type, std::u16string_view name) const override;
  bool CopyResourceBytes(std::u16string_view type, std::u16string_view name, void* buffer,
                         std::size_t size) const override;

  // The full path of (type, name), empty when not indexed.
  std::u16string PathOf(std::u16string_view type, std::u16string_view name) const;

 private:
  std::u16string base_dir_;
  std::unordered_map<std::u16string, std::u16string> index_;  // "type\x01name" (lower case) -> relative path
};

}  // namespace LOOM
