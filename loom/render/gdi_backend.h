// The render back-end over GDI: every bitmap is a top-down 32-bit device-independent
// section (blue, green, red, alpha, premultiplied); pens, brushes, fonts and regions
// are the platform's objects. GDI's lines, shapes and text ignore alpha and clear the
// alpha byte of what they write, so the target draws them through an alpha layer or
// guards the alpha bytes around them (gdi_alpha.h).
#pragma once

#include <string>

#include "core/img_decoder.h"
#include "core/render.h"
#include "core/render_refs.h"
#include "render_obj.h"

namespace LOOM {

class SBitmap_GDI final : public TRenderObj<IBitmap, OT_BITMAP> {
 public:
  using TRenderObj::TRenderObj;
  ~SBitmap_GDI() override;
  HRESULT InitFromImageFrame(const IImgFrame* frame) override;
  HRESULT InitBlank(int width, int height, const void* pixels = nullptr) override;
  HRESULT LoadFile(std::u16string_view path) override;
  HRESULT LoadMemory(const void* data, std::size_t size) override;
  UINT Width() const override { return static_cast<UINT>(width_); }
  UINT Height() const override { return static_cast<UINT>(height_); }
  SIZE Size() const override { return {width_, height_}; }
  void* LockBits() override;
  void UnlockBits(void* bits) override;
  const void* Bits() const override;
  HRESULT Clone(IBitmap** out) const override;
  HRESULT Resample(IBitmap** out, int width, int height, int filter_level) const override;
  HRESULT ResamplePercent(IBitmap** out, int percent, int filter_level) const override;
  HRESULT SaveFile(std::u16string_view path, int format) const override;

  HBITMAP Handle() const { return section_; }
  // The pixels after every pending GDI drawing has landed; nullptr without pixels.
  std::uint32_t* Pixels() const;

 private:
  HRESULT LoadFrom(const IImgX& img, int frames);
  HBITMAP section_ = nullptr;
  void* bits_ = nullptr;
  LONG width_ = 0;
  LONG height_ = 0;
};

class SPen_GDI final : public TRenderObj<IPen, OT_PEN> {
 public:
  SPen_GDI(IRenderFactory* f, int style, COLORREF color, int width);
  ~SPen_GDI() override;
  int Style() const override { return style_; }
  int Width() const override { return width_; }
  COLORREF Color() const override { return color_; }
  HPEN Handle() const { return pen_; }

 private:
  int style_;
  COLORREF color_;
  int width_;
  HPEN pen_ = nullptr;
};

class SBrush_GDI final : public TRenderObj<IBrush, OT_BRUSH> {
 public:
  SBrush_GDI(IRenderFactory* f, COLORREF color);
  SBrush_GDI(IRenderFactory* f, SBitmap_GDI* pattern);
  ~SBrush_GDI() override;
  bool IsBitmap() const override { return pattern_.get() != nullptr; }
  COLORREF Color() const override { return color_; }
  IBitmap* Pattern() const override { return pattern_.get(); }
  HBRUSH Handle() const { return brush_; }

 private:
  COLORREF color_;
  SAutoRefPtr<IBitmap> pattern_;
  HBRUSH brush_ = nullptr;
};

class SFont_GDI final : public TRenderObj<IFont, OT_FONT> {
 public:
  SFont_GDI(IRenderFactory* f, const SLogFont& lf);
  ~SFont_GDI() override;
  const SLogFont& LogFont() const override { return lf_; }
  std::u16string_view FaceName() const override { return lf_.face; }
  int Height() const override { return lf_.height; }
  bool IsBold() const override { return lf_.weight == 700; }
  bool IsUnderline() const override { return lf_.underline; }
  bool IsItalic() const override { return lf_.italic; }
  bool IsStrikeOut() const override { return lf_.strike_out; }
  int UpdateFont(const SLogFont& lf) override;
  void SetExtraProps(std::u16string_view props) override { extra_ = props; }
  HFONT Handle() const { return font_; }

 private:
  void Build();
  SLogFont lf_;
  std::u16string extra_;
  HFONT font_ = nullptr;
};

class SRegion_GDI final : public TRenderObj<IRegion, OT_REGION> {
 public:
  explicit SRegion_GDI(IRenderFactory* f);
  ~SRegion_GDI() override;
  void CombineRect(const RECT& rc, int mode) override;
  void CombineRegion(const IRegion* other, int mode) override;
  void CombineRoundRect(const RECT& rc, POINT corner, int mode) override;
  void CombineEllipse(const RECT& rc, int mode) override;
  bool ContainsPoint(POINT pt) const override;
  bool IntersectsRect(const RECT& rc) const override;
  RECT Bounds() const override;
  bool IsEmpty() const override;
  void Offset(POINT pt) override;
  void Clear() override;
  // From a platform region handle (HRGN).
  void CopyFromNative(const void* native) override;

  HRGN Handle() const { return region_; }

 private:
  void CombineOwned(HRGN other, int mode);  // combines and deletes `other`
  HRGN region_;
};

class SRenderFactory_GDI final : public TObjRefImpl<IRenderFactory> {
 public:
  IImgDecoderFactory* DecoderFactory() const override { return decoder_.get(); }
  void SetDecoderFactory(IImgDecoderFactory* factory) override { decoder_ = factory; }
  int NewTarget(IRenderTarget** out, int width, int height) override;
  int NewFont(IFont** out, const SLogFont& lf) override;
  int NewBitmap(IBitmap** out) override;
  int NewRegion(IRegion** out) override;
  int NewPath() override { return 0; }
  int NewPathEffect() override { return 0; }
  int NewShader() override { return 0; }

 private:
  SAutoRefPtr<IImgDecoderFactory> decoder_;
};

bool BitmapSizeAcceptable(long long width, long long height);

// A top-down 32-bit section of width x height (zero-filled), or nullptr.
HBITMAP NewPixelSection(int width, int height, void** bits);

}  // namespace LOOM
