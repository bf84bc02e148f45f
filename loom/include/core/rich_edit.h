// SRichEdit ("richedit"): an edit box. The text, selection, undo and scroll position
// live in a windowless text engine (platform/text_services.h) that the element hosts
// through STextHost: the element forwards input and edit messages to it, keeps it
// informed of its properties, draws its output into the render target, and maps its
// scroll requests onto the scroll records of its panel base.
#pragma once

#include <string>

#include "core/event_args.h"
#include "core/panel.h"
#include "platform/text/text_defs.h"
#include "platform/text/text_services.h"

namespace LOOM {

class STextHost;
class SMenuPopup;

// "on_key_down", raised before every key-down of an edit box; a handler that handles
// it (answers true, or clears bubble_up) stops the key.
class EventEditKeyDown : public EventKeyDown {
 public:
  EventEditKeyDown(SWindow* sender, UINT key_code, UINT key_flags)
      : EventKeyDown(sender), key(key_code), flags(key_flags) {}
  UINT key;
  UINT flags;
};

// "on_richedit_notify": one engine notification; `result` goes back to the engine.
class EventRichEditNotify : public EventRENotify {
 public:
  EventRichEditNotify(SWindow* sender, DWORD notify_code, void* notify_data)
      : EventRENotify(sender), code(notify_code), data(notify_data) {}
  DWORD code;
  void* data;
  HRESULT result = S_OK;
};

// "on_richedit_menu": the item chosen from the context menu.
class EventRichEditMenu : public EventREMenu {
 public:
  EventRichEditMenu(SWindow* sender, UINT chosen) : EventREMenu(sender), item(chosen) {}
  UINT item;
};

class SRichEdit : public SPanel {
  LOOM_CLASS_TAG(SRichEdit, SPanel, u"richedit", u"div", ObjectKind::Window)

 public:
  // Option bits.
  static constexpr DWORD kOptAutoWordSel = 0x1;
  static constexpr DWORD kOptWordWrap = 0x2;
  static constexpr DWORD kOptRich = 0x4;
  static constexpr DWORD kOptSaveSelection = 0x8;
  static constexpr DWORD kOptTransparent = 0x10;
  static constexpr DWORD kOptVertical = 0x20;
  static constexpr DWORD kOptAllowBeep = 0x40;
  static constexpr DWORD kOptWantTab = 0x80;
  static constexpr DWORD kOptVCenter = 0x100;
  static constexpr DWORD kOptScrolling = 0x200;  // the element is scrolling the engine
  static constexpr DWORD kOptDragDrop = 0x400;
  static constexpr DWORD kOptAutoSel = 0x800;
  static constexpr DWORD kOptNotifyChange = 0x1000;
  static constexpr DWORD kDefaultOptions = kOptAutoWordSel | kOptRich | kOptSaveSelection | kOptVCenter;
  static constexpr DWORD kDefaultStyle = ES_AUTOHSCROLL;
  static constexpr LONG kDefaultMaxLength = 0x7FFF;
  // Items of the context menu.
  enum MenuItem : UINT { kMenuCut = 1, kMenuCopy = 2, kMenuPaste = 3, kMenuDelete = 4, kMenuSelectAll = 5 };

  SRichEdit();
  ~SRichEdit() override;

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  UINT KeyWants() const override;
  bool ChooseCursor(POINT pt) override;
  std::u16string GetElementText(bool raw = false) const override;
  void SetElementText(std::u16string_view text) override;

  // ---- operations for window controllers ----------------------------------------------
  // The engine's character count (WM_GETTEXTLENGTH).
  LONG TextLength();
  // EM_SETSEL with start in the low and end in the high 16 bits, then EM_SCROLLCARET
  // unless no_scroll. Positions past 65,535 need EM_SETSEL sent directly.
  void SelectRange(DWORD range, bool no_scroll);
  void ReplaceSelection(std::u16string_view text, bool can_undo);
  // Scrolls the engine: the position is held within the panel's record first.
  bool ScrollTo(bool vertical, int pos, bool redraw) override;
  bool OnScroll(bool vertical, UINT code, int pos) override;
  void SetWindowText(std::u16string_view text);
  std::u16string GetWindowText();
  void SetReadOnly(bool read_only);
  // 0 sets the default, 32,767.
  void SetTextLimit(LONG limit);

  // ---- what the text host reads ---------------------------------------------------------
  platform::ITextServices* TextServices() const;
  STextHost* TextHost() const { return host_.get(); }
  DWORD EditStyle() const { return style_bits_; }
  DWORD Options() const { return options_; }
  LONG MaxLength() const { return max_length_; }
  WCHAR PasswordChar() const { return password_char_; }
  LONG AcceleratorPos() const { return accel_pos_; }
  SIZE Extent() const { return extent_; }
  RECT ViewInset() const { return inset_; }
  int LineHeight() const { return line_height_; }
  const CHARFORMAT2W& DefaultCharFormat() const { return char_format_; }
  const PARAFORMAT2& DefaultParaFormat() const { return para_format_; }
  // The engine's property bits, masked.
  DWORD PropertyBits(DWORD mask) const;
  // Raises "on_richedit_notify"; the handler's result goes back to the engine.
  HRESULT RaiseNotify(DWORD code, void* data);

  // ---- context menu ------------------------------------------------------------------------
  // Fills a menu from the edit-menu definition with the items greyed as the box is now.
  bool BuildContextMenu(SMenuPopup& menu);
  // What a chosen item does (unless a handler of "on_richedit_menu" handled it).
  void RunMenuItem(UINT item);

 protected:
  int OnCreate() override;
  void OnDestroy() override;
  void OnSetFocus(SWND old_focus, int reason) override;
  void OnKillFocus(SWND new_focus) override;
  void OnPaint(IRenderTarget* rt) override;
  void OnShowWindow(bool visible, LPARAM reason) override;
  void OnRButtonDown(UINT flags, POINT pt) override;
  BOOL OnMouseWheel(UINT flags, short delta, POINT pt) override;
  void ScaleSwitched(int scale) override;
  // Shows the menu and answers the chosen item (0: none). Tests stand in here.
  virtual UINT TrackContextMenu(SMenuPopup& menu, POINT screen);
  // Tells the engine that properties changed, unless markup is still loading.
  void TellEngine(DWORD bits);
  bool Created() const { return created_; }

 private:
  // Raises an event; true when a handler (or the host) handled it.
  bool RaiseHandled(EventArgs& evt);
  bool ForwardToEngine(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool OnKeyDown(WPARAM key, LPARAM flags, LRESULT& result);
  bool OnChar(WPARAM ch, LPARAM flags, LRESULT& result);
  bool OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void OnNcCalcSize();
  LRESULT OnSetText(LPARAM text);
  LRESULT OnSetCharFormat(WPARAM scope, LPARAM format);
  LRESULT OnSetParaFormat(LPARAM format);
  void BuildDefaultCharFormat();
  void BuildDefaultParaFormat();
  void StreamRtf(std::u16string_view reference);
  void SetStyleBit(DWORD bit, bool on, DWORD engine_bit);
  void SetOption(DWORD bit, bool on);
  void UpdateDragDrop();
  void ActivateEngine(bool focused);

  SAutoRefPtr<STextHost> host_;
  CHARFORMAT2W char_format_{};
  PARAFORMAT2 para_format_{};
  LONG max_length_ = kDefaultMaxLength;
  WCHAR password_char_ = u'*';
  LONG accel_pos_ = -1;
  SIZE extent_{};
  RECT inset_{};  // HIMETRIC
  int line_height_ = 0;
  DWORD style_bits_ = kDefaultStyle;
  DWORD options_ = kDefaultOptions;
  std::u16string rtf_source_;
  bool created_ = false;
  bool drag_drop_registered_ = false;
};

}  // namespace LOOM
