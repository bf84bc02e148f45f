// SMenuPopup: the toolkit's own small pop-up menu, as the edit controls' context menu
// uses it. It reads a menu definition ("SYS_XML_EDITMENU": a top element with trCtx,
// iconSkin, itemHeight, iconMargin and textMargin, and its <item id icon>text</item>
// and <sep/> children), greys items on request, and Track shows it at a screen point
// and answers the chosen item, or 0 when the user dismissed it (Esc, a click outside,
// the owner losing activation, the capture going elsewhere).
//
// The menu window never takes the activation: its loop holds the mouse capture and
// reads the keyboard itself (Up, Down, Home, End, Enter, Space, Esc).
#pragma once

#include <string>
#include <vector>

#include "core/render.h"
#include "core/simple_wnd.h"
#include "core/skin.h"
#include "core/xml.h"

namespace LOOM {

struct SMenuItem {
  UINT id = 0;
  std::u16string text;  // translated
  int icon = -1;        // cell of the icon skin, -1 none
  bool separator = false;
  bool disabled = false;
};

class SMenuPopup : public CSimpleWnd {
 public:
  SMenuPopup();
  ~SMenuPopup() override;

  // Replaces the items with the definition's; false for an empty node.
  bool Load(const SXmlNode& menu);
  const std::vector<SMenuItem>& Items() const { return items_; }
  void EnableItem(UINT id, bool enabled);
  bool IsItemEnabled(UINT id) const;

  // Shows the menu with its top-left corner at a screen point (moved to stay on the
  // work area), owned by `owner`; runs until an item is chosen or the menu dismissed.
  UINT Track(POINT screen, HWND owner);

  // ---- geometry and drawing (client coordinates of the menu window) -------------------
  SIZE MenuSize();
  RECT ItemRect(int index);
  // The selectable item under a point, or -1.
  int ItemAt(POINT pt);
  int HotItem() const { return hot_; }
  // Draws the whole menu into a target of MenuSize().
  void Paint(IRenderTarget* rt);

  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;

 private:
  void Measure();
  IFont* MenuFont() const;
  void SetHot(int index);
  void MoveHot(int step);
  void Choose(int index);
  void Dismiss();
  bool OnKey(const MSG& msg);
  void OnPaint();
  int SeparatorHeight() const;

  std::vector<SMenuItem> items_;
  std::u16string tr_ctx_;
  SAutoRefPtr<ISkinObj> icon_skin_;
  int item_height_ = 26;
  int icon_margin_ = 4;
  int text_margin_ = 8;
  SIZE size_{};
  bool measured_ = false;
  int hot_ = -1;
  bool done_ = true;
  UINT chosen_ = 0;
};

}  // namespace LOOM
