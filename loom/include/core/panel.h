// SPanel ("div"): an element with two scroll bars. Per orientation it keeps a scroll
// record (minimum, maximum, page, position, track position), shows a bar when asked
// to, takes the bars out of its client area, draws them with a scroll-bar skin and
// lets the mouse drive them: arrows and rail scroll by a step or a page (repeating
// while held), the thumb drags. What scrolling means is left to subclasses, which
// override OnScroll; the panel itself only moves the record.
#pragma once

#include <string>

#include "core/swnd.h"

namespace LOOM {

class SPanel : public SWindow {
  LOOM_CLASS_TAG(SPanel, SWindow, u"div", u"window", ObjectKind::Window)

 public:
  // Parts of a bar, as the scroll-bar skin numbers them.
  enum BarPart : int { kPartNone = -1, kPartLineUp = 0, kPartLineDown = 1, kPartPageUp = 2, kPartPageDown = 3,
                       kPartThumb = 5 };
  // The element timer that repeats a held arrow or rail.
  static constexpr UINT kRepeatTimer = 100;
  static constexpr UINT kRepeatDelayMs = 400;
  static constexpr UINT kRepeatMs = 50;
  static constexpr int kDefaultBarWidth = 16;
  static constexpr int kMinThumb = 8;

  SPanel();

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void ComputeClientRect(RECT& out) const override;
  BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  // ---- scroll records --------------------------------------------------------------------
  const SCROLLINFO& ScrollRecord(bool vertical) const { return vertical ? vert_ : horz_; }
  // Range and page come from whoever knows the content; redraw repaints the bar.
  void SetScrollRange(bool vertical, int min, int max, bool redraw);
  void SetScrollPage(bool vertical, int page, bool redraw);
  // Moves the record only (clamped to the range); false when nothing changed.
  bool SetScrollPos(bool vertical, int pos, bool redraw);
  // The highest position the record allows: max - page + 1 (max with no page), never
  // below min.
  int MaxScrollPos(bool vertical) const;

  // ---- bars ------------------------------------------------------------------------------
  // bar: SB_HORZ, SB_VERT or SB_BOTH. A bar that "sbEnable" does not allow never shows.
  bool ShowScrollBar(int bar, bool show);
  bool EnableScrollBar(int bar, bool enable);
  bool ScrollBarShown(bool vertical) const;
  bool ScrollBarEnabled(bool vertical) const;
  int ScrollBarWidth() const;
  // The bar's rectangle (empty when hidden), and its parts.
  RECT ScrollBarRect(bool vertical) const;
  RECT PartRect(bool vertical, int part) const;
  int PartAt(bool vertical, POINT pt) const;

  // ---- scrolling -------------------------------------------------------------------------
  // Scrolls to a position: the record is clamped, then OnScroll with SB_THUMBPOSITION.
  virtual bool ScrollTo(bool vertical, int pos, bool redraw);
  // A scroll request (SB_* code, position for the thumb codes). The panel moves its
  // record; subclasses scroll their content. True when something scrolled.
  virtual bool OnScroll(bool vertical, UINT code, int pos);
  int ScrollStep() const { return scroll_speed_; }

 protected:
  void OnSize(UINT type, SIZE size) override;
  void OnNcPaint(IRenderTarget* rt) override;
  BOOL OnMouseWheel(UINT flags, short delta, POINT pt) override;
  void InvalidateScrollBar(bool vertical);
  // The new position a scroll code asks for, clamped to the record.
  int TargetPosition(bool vertical, UINT code, int pos) const;

 private:
  int Pixels(const SLayoutSize& size, int fallback) const;
  bool BarMouseDown(POINT pt);
  void BarMouseMove(POINT pt);
  void BarMouseUp();
  void RepeatPart();
  void PaintBar(IRenderTarget* rt, bool vertical);
  // Client size changed: the pages follow the client when nobody set them.
  void FitPages();

  SCROLLINFO vert_{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  SCROLLINFO horz_{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  int shown_ = 0;       // bit SB_HORZ + 1, bit SB_VERT + 1
  int disabled_ = 0;    // likewise
  int allowed_ = 3;     // "sbEnable": 1 horizontal, 2 vertical
  bool page_set_[2] = {false, false};
  std::u16string skin_name_;
  SAutoRefPtr<ISkinObj> skin_;
  SLayoutSize arrow_size_{-1, SizeUnit::px};
  SLayoutSize width_{-1, SizeUnit::px};
  SLayoutSize inset_left_{};
  SLayoutSize inset_right_{};
  SLayoutSize inset_top_{};
  SLayoutSize inset_bottom_{};
  int update_interval_ = 0;
  int scroll_speed_ = 10;

  // The part the left button holds.
  struct Held {
    bool active = false;
    bool vertical = true;
    int part = kPartNone;
    POINT origin{};
    int origin_pos = 0;
  } held_;
};

}  // namespace LOOM
