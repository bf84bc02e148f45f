// The render back-end over cairo image surfaces (CAIRO_FORMAT_ARGB32: premultiplied
// blue, green, red, alpha in memory, rows of width * 4 bytes) and pango for text.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/img_decoder.h"
#include "core/render.h"
#include "core/render_refs.h"
#include "render_obj.h"

namespace LOOM {

class SRenderFactory_Cairo;

class SBitmap_Cairo final : public TRenderObj<IBitmap, OT_BITMAP> {
 public:
  using TRenderObj::TRenderObj;
  ~SBitmap_Cairo() override;
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

  cairo_surface_t* Surface() const { return surface_; }
  std::uint32_t* Pixels() const;  // flushed, nullptr without pixels
  void PixelsChanged() const;     // after writing through Pixels()

 private:
  HRESULT LoadFrom(const IImgX& img, int frames);
  cairo_surface_t* surface_ = nullptr;
  LONG width_ = 0;
  LONG height_ = 0;
};

class SPen_Cairo final : public TRenderObj<IPen, OT_PEN> {
 public:
  SPen_Cairo(IRenderFactory* f, int style, COLORREF color, int width)
      : TRenderObj(f), style_(style), color_(color), width_(width < 1 ? 1 : width) {}
  int Style() const override { return style_; }
  int Width() const override { return width_; }
  COLORREF Color() const override { return color_; }

 private:
  int style_;
  COLORREF color_;
  int width_;
};

class SBrush_Cairo final : public TRenderObj<IBrush, OT_BRUSH> {
 public:
  SBrush_Cairo(IRenderFactory* f, COLORREF color) : TRenderObj(f), color_(color) {}
  SBrush_Cairo(IRenderFactory* f, IBitmap* pattern) : TRenderObj(f), color_(0xFF000000), pattern_(pattern) {}
  bool IsBitmap() const override { return pattern_.get() != nullptr; }
  COLORREF Color() const override { return color_; }
  IBitmap* Pattern() const override { return pattern_.get(); }

 private:
  COLORREF color_;
  SAutoRefPtr<IBitmap> pattern_;
};

class SFont_Cairo final : public TRenderObj<IFont, OT_FONT> {
 public:
  SFont_Cairo(SRenderFactory_Cairo* f, const SLogFont& lf);
  ~SFont_Cairo() override;
  const SLogFont& LogFont() const override { return lf_; }
  std::u16string_view FaceName() const override { return lf_.face; }
  int Height() const override { return lf_.height; }
  bool IsBold() const override { return lf_.weight == 700; }
  bool IsUnderline() const override { return lf_.underline; }
  bool IsItalic() const override { return lf_.italic; }
  bool IsStrikeOut() const override { return lf_.strike_out; }
  int UpdateFont(const SLogFont& lf) override;
  void SetExtraProps(std::u16string_view props) override { extra_ = props; }

  // A layout of the text in this font (single paragraph when single_line).
  PangoLayout* NewLayout(std::u16string_view text, bool single_line) const;
  // Single-line extent, cached per text.
  SIZE Measure(std::u16string_view text) const;

 private:
  void Build();
  SRenderFactory_Cairo* cairo_factory_;
  SLogFont lf_;
  std::u16string extra_;
  PangoFontDescription* desc_ = nullptr;
  PangoAttrList* attrs_ = nullptr;
  mutable std::unordered_map<std::u16string, SIZE> extents_;
};

class SRegion_Cairo final : public TRenderObj<IRegion, OT_REGION> {
 public:
  explicit SRegion_Cairo(IRenderFactory* f);
  ~SRegion_Cairo() override;
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
  void CopyFromNative(const void* native) override;

  cairo_region_t* Native() const { return region_; }
  // Combines a native region into this one with a combine mode.
  void CombineNative(const cairo_region_t* other, int mode);

 private:
  cairo_region_t* region_;
};

// The region of an ellipse or rounded rectangle as horizontal spans.
cairo_region_t* NewRoundRegion(const RECT& rc, double rx, double ry);

class SRenderFactory_Cairo final : public TObjRefImpl<IRenderFactory> {
 public:
  SRenderFactory_Cairo();
  ~SRenderFactory_Cairo() override;
  IImgDecoderFactory* DecoderFactory() const override { return decoder_.get(); }
  void SetDecoderFactory(IImgDecoderFactory* factory) override { decoder_ = factory; }
  int NewTarget(IRenderTarget** out, int width, int height) override;
  int NewFont(IFont** out, const SLogFont& lf) override;
  int NewBitmap(IBitmap** out) override;
  int NewRegion(IRegion** out) override;
  int NewPath() override { return 0; }
  int NewPathEffect() override { return 0; }
  int NewShader() override { return 0; }

  PangoContext* TextContext() const { return context_; }

 private:
  SAutoRefPtr<IImgDecoderFactory> decoder_;
  PangoFontMap* font_map_ = nullptr;
  PangoContext* context_ = nullptr;
};

bool BitmapSizeAcceptable(long long width, long long height);

}  // namespace LOOM
