// The plain edit box and its cue text.
#include "core/edit.h"

#include "core/application.h"
#include "core/rect_util.h"
#include "core/text_util.h"
#include "core/ui_def.h"
#include "core/values.h"

namespace LOOM {

SEdit::SEdit() {
  ApplyAttribute(u"rich", u"0", true);
  ApplyAttribute(u"autoSel", u"1", true);
}

HRESULT SEdit::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"cueText")) {
    SApplication* app = SApplication::Instance();
    cue_text_.SetText(app ? app->UiDef().ResolveString(value) : std::u16string(value));
    return AttributeApplied(name, value, loading, S_OK);
  }
  if (EqualsNoCase(name, u"cueColor")) {
    COLORREF color = kNoColor;
    if (value.empty() || !ParseColor(value, color)) return AttributeApplied(name, value, loading, E_FAIL);
    cue_color_ = color;
    return AttributeApplied(name, value, loading, S_OK);
  }
  return SRichEdit::ApplyAttribute(name, value, loading);
}

void SEdit::TranslateOwnText() {
  SRichEdit::TranslateOwnText();
  cue_text_.Translate();
}

bool SEdit::CueShown() { return !cue_text_.Translated().empty() && !IsFocused() && TextLength() == 0; }

void SEdit::OnPaint(IRenderTarget* rt) {
  SRichEdit::OnPaint(rt);
  if (!rt || !CueShown()) return;
  SPaintState state;
  PrePaint(rt, state);
  const COLORREF old = rt->SetTextColor(cue_color_);
  UINT format = DrawTextFormat() & ~UINT{DT_CENTER | DT_RIGHT};
  if (EditStyle() & ES_CENTER) {
    format |= DT_CENTER;
  } else if (EditStyle() & ES_RIGHT) {
    format |= DT_RIGHT;
  }
  RECT area = RectDeflate(ClientArea(), PaddingPixels());
  rt->TextDraw(cue_text_.Translated(), &area, format);
  rt->SetTextColor(old);
  PostPaint(rt, state);
}

void SEdit::OnSetFocus(SWND old_focus, int reason) {
  SRichEdit::OnSetFocus(old_focus, reason);
  if (!cue_text_.Translated().empty() && TextLength() == 0) MarkDirty();
}

void SEdit::OnKillFocus(SWND new_focus) {
  SRichEdit::OnKillFocus(new_focus);
  if (!cue_text_.Translated().empty() && TextLength() == 0) MarkDirty();
}

}  // namespace LOOM
