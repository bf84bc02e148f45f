// The text engine: the ITextServices of an edit box. It owns the text (with its line
// index), the selection, undo, and the scroll position; it answers the edit messages,
// the keyboard and the mouse, and draws the visible lines with pango. What it needs of
// the window it asks of its ITextHost.
//
// Text is plain: one character format and one paragraph format for everything (the
// rich flag is accepted). Positions count UTF-16 code units, a paragraph break counts
// one; WM_GETTEXT hands breaks out as "\r\n". Programmatic changes (WM_SETTEXT,
// EM_REPLACESEL, EM_STREAMIN) work in a read-only box; typing, pasting, cutting and
// undo do not. The maximum length (TxGetMaxLength) limits what typing, pasting and
// EM_REPLACESEL insert; WM_SETTEXT and EM_STREAMIN of the whole text are not limited.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/text/linux/text_document.h"
#include "platform/text/linux/text_layout.h"
#include "platform/text/text_services.h"
#include "platform/text/linux/text_undo.h"

namespace platform::text {

class TextEngine final : public ITextServices {
 public:
  struct Options {
    // Whether a key is down now (Shift and Ctrl for keyboard editing); the thread's
    // key state by default.
    std::function<bool(int virtual_key)> key_down;
  };
  // The timer the engine asks for while a drag selection runs past the view.
  static constexpr UINT kAutoScrollTimer = 1;
  static constexpr UINT kAutoScrollMs = 50;
  static constexpr int kCaretWidth = 1;

  explicit TextEngine(ITextHost* host, Options options = {});
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // ---- IUnknown ----------------------------------------------------------------------
  HRESULT QueryInterface(const GUID& iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // ---- ITextServices -----------------------------------------------------------------
  HRESULT TxSendMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  HRESULT TxDraw(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw, void* target_info,
                 const RECT* bounds, const RECT* metafile_bounds, RECT* update, BOOL (*continue_drawing)(DWORD),
                 DWORD continue_arg, LONG view_id) override;
  HRESULT TxGetHScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) override;
  HRESULT TxGetVScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) override;
  HRESULT OnTxSetCursor(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                        void* target_info, const RECT* client, int x, int y) override;
  HRESULT TxQueryHitPoint(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                          void* target_info, const RECT* client, int x, int y, DWORD* hit) override;
  HRESULT OnTxInPlaceActivate(const RECT* client) override;
  HRESULT OnTxInPlaceDeactivate() override;
  HRESULT OnTxUIActivate() override;
  HRESULT OnTxUIDeactivate() override;
  HRESULT TxGetText(std::u16string* text) override;
  HRESULT TxSetText(const char16_t* text) override;
  HRESULT TxGetCurTargetX(LONG* x) override;
  HRESULT TxGetBaseLinePos(LONG* pos) override;
  HRESULT TxGetNaturalSize(DWORD aspect, void* draw, void* target_info, void* target_device, DWORD mode,
                           const SIZE* extent, LONG* width, LONG* height) override;
  HRESULT TxGetDropTarget(void** target) override;
  HRESULT OnTxPropertyBitsChange(DWORD mask, DWORD bits) override;
  HRESULT TxGetCachedSize(DWORD* width, DWORD* height) override;

 private:
  // ---- messages (text_engine.cpp, text_engine_messages.cpp) ---------------------------
  bool Dispatch(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool TextMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool LineMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool FormatMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool EditMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  bool InputMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  LRESULT StreamIn(WPARAM format, EDITSTREAM* stream);
  LRESULT StreamOut(WPARAM format, EDITSTREAM* stream);

  // ---- properties and formats ---------------------------------------------------------
  void ReadProperties();
  void ReadCharFormat();
  void ReadParaFormat();
  void ApplyCharFormat(const CHARFORMATW* cf);
  void ApplyParaFormat(const PARAFORMAT* pf);
  bool Multiline() const { return (props_ & TXTBIT_MULTILINE) != 0; }
  bool ReadOnly() const { return (props_ & TXTBIT_READONLY) != 0; }
  bool Password() const { return (props_ & TXTBIT_USEPASSWORD) != 0; }
  TextPos MaxLength() const;

  // ---- editing (text_engine_edit.cpp) -------------------------------------------------
  // Replaces the selection with text as the user or a message gives it: normalised,
  // cut to the maximum length (EN_MAXTEXT). False when nothing changed.
  bool InsertText(std::u16string_view raw, UndoKind kind, bool undoable);
  // kRecord: the change can be undone; kClear: it cannot, and earlier steps are
  // dropped; kKeep: undo itself applies a step.
  enum class UndoMode { kRecord, kClear, kKeep };
  void ReplaceRange(TextPos pos, TextPos length, std::u16string_view text, UndoKind kind, UndoMode mode);
  void SetAllText(std::u16string_view raw);
  void DeleteBackward(bool word);
  void DeleteForward(bool word);
  void ApplyUndoStep(bool redo);
  bool Copy();
  bool Cut();
  bool Paste();
  void NotifyChange();
  void NotifySelectionChange();

  // ---- selection and movement (text_engine_keys.cpp) ----------------------------------
  TextPos SelStart() const { return std::min(anchor_, caret_); }
  TextPos SelEnd() const { return std::max(anchor_, caret_); }
  bool HasSelection() const { return anchor_ != caret_; }
  void SetSelection(TextPos anchor, TextPos caret);
  void MoveCaret(TextPos to, bool extend);
  TextPos WordStartBefore(TextPos pos) const;
  TextPos WordEndAfter(TextPos pos) const;
  std::pair<TextPos, TextPos> WordAround(TextPos pos) const;
  bool KeyDown(WPARAM vk);
  bool Char(char16_t ch);
  bool KeyIsDown(int vk) const;
  void MouseDown(POINT pt, WPARAM flags, bool double_click);
  void MouseMove(POINT pt);
  void MouseUp();
  void AutoScrollTick();
  TextPos PositionAtPoint(POINT pt);

  // ---- view (text_engine_view.cpp) ----------------------------------------------------
  void UpdateGeometry(const RECT* client);
  RECT ViewRect() const;
  int ViewWidth() const;
  int ViewHeight() const;
  int ContentHeight();
  int MaxScrollY();
  int MaxScrollX();
  void ScrollTo(int x, int y);
  void ScrollCaretIntoView();
  void ReportScrollRanges(bool force);
  void UpdateCaret();
  void ShowCaret(bool show);
  bool SelectionShown() const;
  void InvalidateLines(TextPos first, TextPos last);
  void InvalidateView();
  void InvalidatePositions(TextPos from, TextPos to);
  void InvalidateSelectionChange(TextPos old_start, TextPos old_end);
  void Draw(void* cairo, const RECT& bounds, const RECT* update);

  ITextHost* host_;
  std::atomic<ULONG> refs_{1};
  Options options_;
  TextDocument doc_;
  TextLayout layout_{doc_};
  UndoHistory undo_;

  TextPos anchor_ = 0;  // the fixed end of the selection
  TextPos caret_ = 0;   // the moving end, where the caret is
  int desired_x_ = -1;  // the column Up and Down keep
  char16_t pending_high_ = 0;

  DWORD props_ = 0;
  DWORD event_mask_ = 0;
  DWORD lang_options_ = IMF_AUTOFONT | IMF_DUALFONT;
  bool in_place_ = false;
  bool focused_ = false;
  bool modified_ = false;
  bool selection_hidden_ = false;  // EM_HIDESELECTION

  CHARFORMAT2W char_format_{};
  PARAFORMAT2 para_format_{};
  COLORREF text_color_ = 0;

  RECT client_{};
  RECT inset_{};  // pixels
  int scroll_x_ = 0;
  int scroll_y_ = 0;
  int reported_vmax_ = -1;
  int reported_hmax_ = -1;
  bool vbar_shown_ = false;
  bool hbar_shown_ = false;

  int caret_x_ = 0;  // the caret's x on its line, as last placed
  bool caret_created_ = false;
  bool caret_shown_ = false;
  POINT caret_at_{-1, -1};

  bool dragging_ = false;
  bool word_drag_ = false;
  TextPos drag_word_start_ = 0;
  TextPos drag_word_end_ = 0;
  POINT last_mouse_{};
  bool timer_running_ = false;
};

}  // namespace platform::text
