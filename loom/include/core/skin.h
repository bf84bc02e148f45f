// Skins: named, counted drawing objects that paint a rectangle in one of several
// visual states. Image lists cut one picture into state cells; frames draw a cell as a
// nine-grid; gradients, colour buttons, colour rectangles, shapes and groups draw
// without a picture.
#pragma once

#include <string>
#include <vector>

#include "core/object.h"
#include "core/render.h"

namespace LOOM {

struct ISkinObj : IObject {
  virtual void DrawCell(IRenderTarget* rt, const RECT& rc, int state) = 0;
  virtual void DrawCellAlpha(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) = 0;
  virtual SIZE CellSize() const = 0;
  virtual bool IgnoresState() const = 0;
  virtual int StateCount() const = 0;
  virtual BYTE Alpha() const = 0;
  virtual void SetAlpha(BYTE alpha) = 0;
  virtual void Colorize(COLORREF color) = 0;
  virtual int ScalePercent() const = 0;
  // A new skin of the same class for the scale (one reference), or nullptr.
  virtual ISkinObj* ScaledCopy(int scale) const = 0;
  virtual void CopyScaledInto(ISkinObj* target, int scale) const = 0;
  virtual void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) = 0;
  virtual void SetScalePercent(int scale) = 0;
  virtual std::u16string_view SkinName() const = 0;

 protected:
  ~ISkinObj() = default;
};

class SSkinObjBase : public TObjRefImpl<SObjectImpl<ISkinObj>> {
  LOOM_CLASS_TAG(SSkinObjBase, SObjectImpl<ISkinObj>, u"skinObjBase", u"object", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  std::u16string ObjectName() const override { return name_; }
  void DrawCell(IRenderTarget* rt, const RECT& rc, int state) override { DrawCellAlpha(rt, rc, state, alpha_); }
  void DrawCellAlpha(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override {
    if (rt) PaintCell(rt, rc, state, alpha);
  }
  SIZE CellSize() const override { return {0, 0}; }
  bool IgnoresState() const override { return true; }
  int StateCount() const override { return 1; }
  BYTE Alpha() const override { return alpha_; }
  void SetAlpha(BYTE alpha) override { alpha_ = alpha; }
  void Colorize(COLORREF) override {}
  int ScalePercent() const override { return scale_; }
  void SetScalePercent(int scale) override { scale_ = scale; }
  std::u16string_view SkinName() const override { return name_; }
  ISkinObj* ScaledCopy(int scale) const override;
  void CopyScaledInto(ISkinObj* target, int scale) const override;
  void PaintCell(IRenderTarget*, const RECT&, int, BYTE) override {}

 protected:
  BYTE alpha_ = 255;
  COLORREF colorize_ = 0;
  bool enable_colorize_ = true;
  int scale_ = 100;
  std::u16string name_;
};

class SSkinImgList : public SSkinObjBase {
  LOOM_CLASS_TAG(SSkinImgList, SSkinObjBase, u"imglist", u"skinObjBase", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  SIZE CellSize() const override;
  bool IgnoresState() const override { return StateCount() == 1; }
  int StateCount() const override;
  void Colorize(COLORREF color) override;
  void CopyScaledInto(ISkinObj* target, int scale) const override;
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;

  virtual void SetStateCount(int states) { states_ = states < 1 ? 1 : states; }
  virtual void AttachImage(IBitmap* image) { image_ = image; }
  virtual IBitmap* Image() const { return image_.get(); }
  virtual void SetTiled(bool tile) { tile_ = tile; }
  virtual bool IsTiled() const { return tile_; }
  virtual void SetVerticalCells(bool vertical) { vertical_ = vertical; }
  virtual bool HasVerticalCells() const { return vertical_; }
  virtual UINT ExpandMode() const;

 protected:
  // The source rectangle of a cell, moved along the strip.
  RECT CellSource(int index) const;
  SAutoRefPtr<IBitmap> image_;
  int states_ = 1;
  bool tile_ = false;
  bool auto_fit_ = true;
  bool vertical_ = false;
  SAutoRefPtr<IBitmap> saved_image_;
  unsigned short filter_level_ = 0;
  std::vector<int> state_map_;
};

class SSkinImgFrame : public SSkinImgList {
  LOOM_CLASS_TAG(SSkinImgFrame, SSkinImgList, u"imgframe", u"imglist", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void CopyScaledInto(ISkinObj* target, int scale) const override;
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;
  UINT ExpandMode() const override;
  RECT Margins() const { return margins_; }

 protected:
  RECT margins_{};
};

class SSkinImgFrame2 : public SSkinImgFrame {
  LOOM_CLASS_TAG(SSkinImgFrame2, SSkinImgFrame, u"imgframe2", u"imgframe", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  // Reads the marker border of a picture into the margins and keeps the inside.
  HRESULT UseMarkedPicture(IBitmap* picture);
};

class SSkinImgCenter : public SSkinImgList {
  LOOM_CLASS_TAG(SSkinImgCenter, SSkinImgList, u"imgCenter", u"imglist", ObjectKind::Skin)
 public:
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;
};

class SSkinScrollbar : public SSkinImgList {
  LOOM_CLASS_TAG(SSkinScrollbar, SSkinImgList, u"scrollbar", u"imglist", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void CopyScaledInto(ISkinObj* target, int scale) const override;
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;
  // The picture rectangle of a part (low 16 bits of the state), its state (bits 16-23)
  // and direction (bit 24).
  virtual RECT PartRect(int part, int part_state, bool vertical) const;

 protected:
  int margin_ = 0;
  int has_gripper_ = 0;
  int has_inactive_ = 0;
};

class SSkinGradation : public SSkinObjBase {
  LOOM_CLASS_TAG(SSkinGradation, SSkinObjBase, u"gradation", u"skinObjBase", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  ISkinObj* ScaledCopy(int) const override { return nullptr; }
  void Colorize(COLORREF color) override;
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;

 protected:
  COLORREF from_ = kNoColor;
  COLORREF to_ = kNoColor;
  bool vertical_ = true;
  COLORREF saved_from_ = kNoColor;
  COLORREF saved_to_ = kNoColor;
};

class SSkinButton : public SSkinObjBase {
  LOOM_CLASS_TAG(SSkinButton, SSkinObjBase, u"button", u"skinObjBase", ObjectKind::Skin)
 public:
  SSkinButton();
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  bool IgnoresState() const override { return false; }
  int StateCount() const override { return 4; }
  ISkinObj* ScaledCopy(int) const override { return nullptr; }
  void Colorize(COLORREF color) override;
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;

 protected:
  // Border, top and bottom colours for the states normal, hover, pushed, disabled.
  COLORREF colors_[12];
  COLORREF saved_[12];
  int corner_radius_ = 2;
  float corner_percent_ = 0;
};

class SSkinColorRect : public SSkinObjBase {
  LOOM_CLASS_TAG(SSkinColorRect, SSkinObjBase, u"colorrect", u"skinObjBase", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  bool IgnoresState() const override { return StateCount() < 2; }
  int StateCount() const override;
  ISkinObj* ScaledCopy(int) const override { return nullptr; }
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;

 protected:
  int corner_radius_ = 0;
  float corner_percent_ = 0;
  COLORREF fill_[4] = {0xFFFFFFFF, kNoColor, kNoColor, kNoColor};
  COLORREF border_[4] = {kNoColor, kNoColor, kNoColor, kNoColor};
  int border_width_ = 0;
};

class SSkinShape : public SSkinObjBase {
  LOOM_CLASS_TAG(SSkinShape, SSkinObjBase, u"shape", u"skinObjBase", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void AfterMarkupLoaded(const SXmlNode& node) override;
  SIZE CellSize() const override { return size_; }
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;

 protected:
  int shape_ = 0;  // 0 rectangle, 1 oval, 2 ring
  COLORREF solid_ = kNoColor;
  COLORREF gradient_from_ = kNoColor;
  COLORREF gradient_to_ = kNoColor;
  bool gradient_vertical_ = true;
  COLORREF stroke_color_ = kNoColor;
  int stroke_width_ = 0;
  int corner_radius_ = 0;
  SIZE size_{};
};

class SSKinGroup : public SSkinObjBase {
  LOOM_CLASS_TAG(SSKinGroup, SSkinObjBase, u"group", u"skinObjBase", ObjectKind::Skin)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  SIZE CellSize() const override;
  bool IgnoresState() const override { return false; }
  int StateCount() const override { return 4; }
  void CopyScaledInto(ISkinObj* target, int scale) const override;
  void PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) override;

 protected:
  SAutoRefPtr<ISkinObj> members_[4];
};

// Recolours a premultiplied picture in place: each pixel keeps its lightness and takes
// hue and saturation from color, blended by the colour's opacity (0.8 when it is 0).
void ColorizePixels(std::uint32_t* pixels, std::size_t count, COLORREF color);
COLORREF ColorizeColor(COLORREF original, COLORREF color);

}  // namespace LOOM
