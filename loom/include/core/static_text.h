// SStatic ("text"): a text element that mouse clicks pass through. With "multiLines"
// it wraps at its right edge and breaks at line feeds and at the two characters "\n",
// spacing lines by the height of "A" plus "interHeight" pixels.
#pragma once

#include "core/swnd.h"

namespace LOOM {

class SStatic : public SWindow {
  LOOM_CLASS_TAG(SStatic, SWindow, u"text", u"window", ObjectKind::Window)

 public:
  static constexpr int kDefaultInterHeight = 5;

  SStatic();

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void PaintText(IRenderTarget* rt, std::u16string_view text, RECT rc, UINT format) override;
  void MeasureText(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format) override;

  bool IsMultiLine() const { return multi_lines_; }
  int InterHeight() const { return inter_height_; }

  // Multi-line layout of text in rc with format: draws the lines, or with DT_CALCRECT
  // only measures them (rc then receives the extent, never taller than given).
  void LayoutLines(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format);

 protected:
  // Draws characters [start, start + count) of text into rc.
  virtual void PaintTextSegment(IRenderTarget* rt, std::u16string_view text, std::size_t start, std::size_t count,
                                RECT rc, UINT format);

 private:
  void AlignVertically(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format);

  bool multi_lines_ = false;
  int inter_height_ = kDefaultInterHeight;
};

}  // namespace LOOM
