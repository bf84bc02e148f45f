// The GDI back-end's factory and render objects: sections, pens, brushes, fonts and
// regions, each owning its platform handle.
#include <cstring>
#include <vector>

#include "bitmap_copies.h"
#include "gdi_backend.h"
#include "gdi_target.h"
#include "platform/base/wide_text.h"

namespace LOOM {

bool BitmapSizeAcceptable(long long width, long long height) {
  return width >= 0 && height >= 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         width * height <= kMaxBitmapPixels;
}

HBITMAP NewPixelSection(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  ::HDC screen = ::GetDC(nullptr);
  HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  return section;
}

// ---------------------------------------------------------------------------
// Factory

int SRenderFactory_GDI::NewTarget(IRenderTarget** out, int width, int height) {
  if (!out || !BitmapSizeAcceptable(width, height)) return 0;
  auto target = SAutoRefPtr<SRenderTarget_GDI>::Adopt(new SRenderTarget_GDI(this));
  if (FAILED(target->Init(width, height))) return 0;
  *out = target.detach();
  return 1;
}

int SRenderFactory_GDI::NewFont(IFont** out, const SLogFont& lf) {
  if (!out) return 0;
  *out = new SFont_GDI(this, lf);
  return 1;
}

int SRenderFactory_GDI::NewBitmap(IBitmap** out) {
  if (!out) return 0;
  *out = new SBitmap_GDI(this);
  return 1;
}

int SRenderFactory_GDI::NewRegion(IRegion** out) {
  if (!out) return 0;
  *out = new SRegion_GDI(this);
  return 1;
}

IRenderFactory* NewRenderFactory() { return new SRenderFactory_GDI(); }

// ---------------------------------------------------------------------------
// Bitmaps

SBitmap_GDI::~SBitmap_GDI() {
  if (section_) ::DeleteObject(section_);
}

HRESULT SBitmap_GDI::InitBlank(int width, int height, const void* pixels) {
  if (!BitmapSizeAcceptable(width, height)) return E_OUTOFMEMORY;
  void* bits = nullptr;
  // A section of no pixels cannot be made; such a bitmap has a size and no pixels.
  HBITMAP section = (width > 0 && height > 0) ? NewPixelSection(width, height, &bits) : nullptr;
  if (width > 0 && height > 0 && !section) return E_OUTOFMEMORY;
  if (section_) ::DeleteObject(section_);
  section_ = section;
  bits_ = bits;
  width_ = width;
  height_ = height;
  if (pixels && bits_) std::memcpy(bits_, pixels, static_cast<std::size_t>(width) * height * 4);
  return S_OK;
}

HRESULT SBitmap_GDI::InitFromImageFrame(const IImgFrame* frame) {
  UINT w = 0, h = 0;
  if (!frame || !frame->Size(&w, &h) || !BitmapSizeAcceptable(w, h)) return E_OUTOFMEMORY;
  std::vector<BYTE> pixels(std::size_t{w} * h * 4);
  if (!frame->CopyFramePixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data())) return E_FAIL;
  return InitBlank(static_cast<int>(w), static_cast<int>(h), pixels.data());
}

HRESULT SBitmap_GDI::LoadFrom(const IImgX& img, int frames) {
  return frames > 0 ? InitFromImageFrame(img.Frame(0)) : S_FALSE;
}

HRESULT SBitmap_GDI::LoadFile(std::u16string_view path) {
  auto img = MakeImage(factory_->DecoderFactory());
  if (!img) return E_FAIL;
  const int frames = img->LoadFile(path);
  return LoadFrom(*img, frames);
}

HRESULT SBitmap_GDI::LoadMemory(const void* data, std::size_t size) {
  auto img = MakeImage(factory_->DecoderFactory());
  if (!img) return E_FAIL;
  const int frames = img->LoadMemory(data, size);
  return LoadFrom(*img, frames);
}

std::uint32_t* SBitmap_GDI::Pixels() const {
  if (!bits_) return nullptr;
  ::GdiFlush();
  return static_cast<std::uint32_t*>(bits_);
}

void* SBitmap_GDI::LockBits() { return Pixels(); }
void SBitmap_GDI::UnlockBits(void*) {}
const void* SBitmap_GDI::Bits() const { return Pixels(); }

HRESULT SBitmap_GDI::Clone(IBitmap** out) const { return CloneBitmap(*factory_, *this, out); }

HRESULT SBitmap_GDI::Resample(IBitmap** out, int width, int height, int filter_level) const {
  return ResampleBitmap(*factory_, *this, width, height, filter_level, out);
}

HRESULT SBitmap_GDI::ResamplePercent(IBitmap** out, int percent, int filter_level) const {
  return ResampleBitmapPercent(*factory_, *this, percent, filter_level, out);
}

HRESULT SBitmap_GDI::SaveFile(std::u16string_view path, int format) const {
  return SaveBitmapFile(*factory_, *this, path, format);
}

// ---------------------------------------------------------------------------
// Pens and brushes are made from the colour's low 24 bits; the top byte is the
// opacity the target draws them with.

SPen_GDI::SPen_GDI(IRenderFactory* f, int style, COLORREF color, int width)
    : TRenderObj(f), style_(style), color_(color), width_(width < 1 ? 1 : width) {
  const COLORREF rgb = color & 0x00FFFFFF;
  if (style & PS_GEOMETRIC) {
    LOGBRUSH brush{BS_SOLID, rgb, 0};
    pen_ = ::ExtCreatePen(static_cast<DWORD>(style), static_cast<DWORD>(width_), &brush, 0, nullptr);
  } else {
    pen_ = ::CreatePen(style, width_, rgb);
  }
}

SPen_GDI::~SPen_GDI() {
  if (pen_) ::DeleteObject(pen_);
}

SBrush_GDI::SBrush_GDI(IRenderFactory* f, COLORREF color)
    : TRenderObj(f), color_(color), brush_(::CreateSolidBrush(color & 0x00FFFFFF)) {}

SBrush_GDI::SBrush_GDI(IRenderFactory* f, SBitmap_GDI* pattern)
    : TRenderObj(f), color_(0xFF000000), pattern_(pattern),
      brush_(pattern && pattern->Handle() ? ::CreatePatternBrush(pattern->Handle()) : nullptr) {}

SBrush_GDI::~SBrush_GDI() {
  if (brush_) ::DeleteObject(brush_);
}

// ---------------------------------------------------------------------------
// Fonts

SFont_GDI::SFont_GDI(IRenderFactory* f, const SLogFont& lf) : TRenderObj(f), lf_(lf) { Build(); }

SFont_GDI::~SFont_GDI() {
  if (font_) ::DeleteObject(font_);
}

void SFont_GDI::Build() {
  LOGFONTW record{};
  record.lfHeight = lf_.height;
  record.lfWeight = lf_.weight;
  record.lfItalic = lf_.italic ? TRUE : FALSE;
  record.lfUnderline = lf_.underline ? TRUE : FALSE;
  record.lfStrikeOut = lf_.strike_out ? TRUE : FALSE;
  record.lfCharSet = lf_.charset;
  record.lfQuality = lf_.quality;
  const std::size_t length = std::min<std::size_t>(lf_.face.size(), LF_FACESIZE - 1);
  std::memcpy(record.lfFaceName, lf_.face.data(), length * sizeof(char16_t));
  if (font_) ::DeleteObject(font_);
  font_ = ::CreateFontIndirectW(&record);
}

int SFont_GDI::UpdateFont(const SLogFont& lf) {
  const bool had_font = font_ != nullptr;
  lf_ = lf;
  Build();
  return had_font ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Regions

SRegion_GDI::SRegion_GDI(IRenderFactory* f) : TRenderObj(f), region_(::CreateRectRgn(0, 0, 0, 0)) {}

SRegion_GDI::~SRegion_GDI() {
  if (region_) ::DeleteObject(region_);
}

void SRegion_GDI::CombineOwned(HRGN other, int mode) {
  if (!other) return;
  if (mode == RGN_COPY) ::CombineRgn(region_, other, nullptr, RGN_COPY);
  else if (mode >= RGN_AND && mode <= RGN_DIFF) ::CombineRgn(region_, region_, other, mode);
  ::DeleteObject(other);
}

void SRegion_GDI::CombineRect(const RECT& rc, int mode) {
  RECT r = rc;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  CombineOwned(::CreateRectRgnIndirect(&r), mode);
}

void SRegion_GDI::CombineRegion(const IRegion* other, int mode) {
  auto* region = dynamic_cast<const SRegion_GDI*>(other);
  if (!region) return;
  HRGN copy = ::CreateRectRgn(0, 0, 0, 0);
  ::CombineRgn(copy, region->region_, nullptr, RGN_COPY);
  CombineOwned(copy, mode);
}

void SRegion_GDI::CombineRoundRect(const RECT& rc, POINT corner, int mode) {
  CombineOwned(::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, corner.x, corner.y), mode);
}

void SRegion_GDI::CombineEllipse(const RECT& rc, int mode) { CombineOwned(::CreateEllipticRgnIndirect(&rc), mode); }

bool SRegion_GDI::ContainsPoint(POINT pt) const { return ::PtInRegion(region_, pt.x, pt.y) != FALSE; }

bool SRegion_GDI::IntersectsRect(const RECT& rc) const { return ::RectInRegion(region_, &rc) != FALSE; }

RECT SRegion_GDI::Bounds() const {
  RECT box{};
  ::GetRgnBox(region_, &box);
  return box;
}

bool SRegion_GDI::IsEmpty() const {
  RECT b = Bounds();
  return b.right <= b.left || b.bottom <= b.top;
}

void SRegion_GDI::Offset(POINT pt) { ::OffsetRgn(region_, pt.x, pt.y); }

void SRegion_GDI::Clear() { ::SetRectRgn(region_, 0, 0, 0, 0); }

void SRegion_GDI::CopyFromNative(const void* native) {
  if (native) ::CombineRgn(region_, static_cast<HRGN>(const_cast<void*>(native)), nullptr, RGN_COPY);
}

}  // namespace LOOM
