// Edit boxes in the element tree's test container: the control tests' application over
// this group's resources (a default font, the system edit menu), and helpers that type,
// append status lines and read the engine back.
#pragma once

#include <string>

#include "core/edit.h"
#include "platform/text/text_defs.h"
#include "platform/ui/windowing.h"
#include "tests/loom_controls/controls_fixture.h"

namespace LOOM::test {

class EditFixture : public ControlsFixture {
 protected:
  EditFixture() {
    system_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(system_.get(), platform::CurrentModule());
    app_.InstallSystemResources(system_.get());
  }

  void SetUp() override { ASSERT_TRUE(platform::InitWindowing()); }  // the clipboard

  // One edit (or rich edit) element named "e" in a 400x300 container.
  SEdit* BuildEdit(std::u16string_view attributes, std::u16string_view tag = u"edit") {
    std::u16string markup = u"<root colorBkgnd=\"#0000FF\"><";
    markup += tag;
    markup += u" name=\"e\" pos=\"10,10\" size=\"200,60\" ncskin=\"\" ";
    markup += attributes;
    markup += u"/></root>";
    Build(markup);
    return dynamic_cast<SEdit*>(Find(u"e"));
  }
  static LRESULT Send(SWindow* e, UINT msg, WPARAM wp = 0, LPARAM lp = 0, BOOL* handled = nullptr) {
    return e->SendElementMessage(msg, wp, lp, handled);
  }
  // Characters as the host routes them to the focused element.
  void Type(std::u16string_view text) {
    for (char16_t c : text) host_->RouteHostMessage(WM_CHAR, c, 0);
  }
  // The status box's append: an empty selection at the very end (32-bit positions, no
  // caret scrolling), the text replaced without undo, the view sent to its top.
  static void AppendStatus(SRichEdit* box, std::u16string_view line) {
    const LONG end = box->TextLength();
    Send(box, EM_SETSEL, static_cast<WPARAM>(end), end);
    box->ReplaceSelection(line, false);
    box->ScrollTo(true, -1, false);
  }
  static std::pair<DWORD, DWORD> Selection(SWindow* e) {
    DWORD start = 0, end = 0;
    Send(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }
  // Whether any pixel of a rectangle of the container's picture has exactly this colour.
  bool AnyPixel(const RECT& rc, COLORREF color) {
    host_->Repaint();
    for (LONG y = rc.top; y < rc.bottom; ++y)
      for (LONG x = rc.left; x < rc.right; ++x)
        if (host_->PixelAt(x, y) == color) return true;
    return false;
  }
  // How many pixels of a rectangle differ from a colour.
  int PixelsOtherThan(const RECT& rc, COLORREF color) {
    host_->Repaint();
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
      for (LONG x = rc.left; x < rc.right; ++x) n += host_->PixelAt(x, y) != color;
    return n;
  }

  SAutoRefPtr<IResProvider> system_;
};

}  // namespace LOOM::test
