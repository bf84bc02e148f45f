// SEdit ("edit"): the plain-text edit box. It is an SRichEdit without the rich flag
// that selects everything when it gains the focus, and shows a cue text (in the cue
// colour) while it is empty and unfocused.
#pragma once

#include <string>

#include "core/rich_edit.h"
#include "core/translatable_text.h"

namespace LOOM {

class SEdit : public SRichEdit {
  LOOM_CLASS_TAG(SEdit, SRichEdit, u"edit", u"richedit", ObjectKind::Window)

 public:
  static constexpr COLORREF kDefaultCueColor = 0xFFCCCCCC;

  SEdit();

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void TranslateOwnText() override;
  const std::u16string& CueText() const { return cue_text_.Translated(); }
  COLORREF CueColor() const { return cue_color_; }
  // Whether the cue shows now: a cue, no text, no focus.
  bool CueShown();

 protected:
  void OnPaint(IRenderTarget* rt) override;
  void OnSetFocus(SWND old_focus, int reason) override;
  void OnKillFocus(SWND new_focus) override;

 private:
  TranslatableText cue_text_{this};
  COLORREF cue_color_ = kDefaultCueColor;
};

}  // namespace LOOM
