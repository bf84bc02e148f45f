// A container that stands in for the host window in tests and benchmarks: it records
// what the host would do (redraw rectangles, the update list, render targets handed
// out, timers, carets, tooltips, the events that reach it) and keeps an off-screen
// picture of the whole tree, painted the way the host paints it.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/rect_util.h"
#include "core/swnd_container_impl.h"

namespace LOOM::test {

class TestContainer : public SwndContainerImpl {
 public:
  struct SeenEvent {
    int id;
    std::u16string sender_name;
    int sender_id;
  };
  struct TargetUse {
    RECT rc;
    UINT mode;
  };

  TestContainer() = default;

  // ---- host operations -----------------------------------------------------------------
  bool EventReachedHost(EventArgs* args) override {
    events.push_back({args->EventId(), args->SenderName(), args->SenderId()});
    return on_event ? on_event(args) : false;
  }
  HWND HostHandle() const override { return nullptr; }
  std::u16string HostTranslationContext() const override { return host_tr_ctx; }
  bool IsTranslucent() const override { return false; }
  bool SendsWheelToHover() const override { return wheel_to_hover; }
  RECT ContainerRect() const override { return ElementArea(); }
  IRenderTarget* AcquireRenderTarget(const RECT& rc, UINT mode) override {
    acquired.push_back({rc, mode});
    IRenderTarget* rt = nullptr;
    if (!factory_ || !factory_->NewTarget(&rt, std::max<LONG>(0, RectWidth(rc)), std::max<LONG>(0, RectHeight(rc))))
      return nullptr;
    rt->SetOrigin(-rc.left, -rc.top);
    if (mode != kPaintScratch && picture_) rt->CopyFromTarget(rc, picture_.get(), rc.left, rc.top, SRCCOPY);
    return rt;
  }
  void ReleaseRenderTarget(IRenderTarget* rt, const RECT& rc, UINT mode) override {
    released.push_back({rc, mode});
    if (mode != kPaintScratch && picture_) picture_->CopyFromTarget(rc, rt, rc.left, rc.top, SRCCOPY);
    rt->Release();
  }
  void InvalidateHostRect(const RECT& rc) override {
    invalidated.push_back(rc);
    dirty = RectUnion(dirty, rc);
  }
  void QueueElementUpdate(SWND swnd) override {
    if (std::find(update_list.begin(), update_list.end(), swnd) == update_list.end()) update_list.push_back(swnd);
  }
  bool CreateCaret(SWND owner, IBitmap*, int width, int height) override {
    caret_owner = owner;
    caret_size = {width, height};
    return true;
  }
  bool ShowCaret(bool show) override {
    caret_shown = show;
    return true;
  }
  bool MoveCaret(POINT pt) override {
    caret_pos = pt;
    return true;
  }
  void UpdateNow() override { ++update_now_calls; }
  void RefreshTip() override { ++tip_refreshes; }
  IMessageLoop* MessageLoop() override { return nullptr; }
  int Scale() const override { return scale; }
  bool SetHostTimer(UINT_PTR id, UINT elapse_ms) override {
    timers[id] = elapse_ms;
    return true;
  }
  void KillHostTimer(UINT_PTR id) override {
    timers.erase(id);
    killed_timers.push_back(id);
  }

  // ---- what tests drive ------------------------------------------------------------------
  // Gives the root the host's client area and makes the host picture that size.
  void Resize(IRenderFactory* factory, int width, int height) {
    factory_ = factory;
    IRenderTarget* rt = nullptr;
    if (factory->NewTarget(&rt, width, height)) picture_ = SAutoRefPtr<IRenderTarget>::Adopt(rt);
    RECT rc{0, 0, width, height};
    TakeRect(rc);
    dirty = rc;
  }
  // The host's repaint: lays out what is dirty, repaints the collected area of the
  // picture (clipped, cleared to transparent), then lets every listed element repaint
  // its own update region. Answers the area that was painted.
  RECT Repaint() {
    LayoutIfDirty();
    RECT area = RectIntersect(dirty, ElementArea());
    dirty = {};
    if (!RectIsEmpty(area) && picture_) {
      IRegion* raw = nullptr;
      factory_->NewRegion(&raw);
      auto region = SAutoRefPtr<IRegion>::Adopt(raw);
      region->CombineRect(area, RGN_COPY);
      picture_->ClipPushRect(area, RGN_COPY);
      picture_->ReplaceRect(area, 0);
      PaintSubtree(picture_.get(), region.get());
      picture_->ClipPop();
    }
    std::vector<SWND> list;
    list.swap(update_list);
    for (SWND swnd : list)
      if (SWindow* e = ElementForHandle(swnd)) e->RepaintUpdateRegion();
    return area;
  }
  IRenderTarget* Picture() const { return picture_.get(); }
  COLORREF PixelAt(int x, int y) const { return picture_ ? picture_->PixelAt(x, y) : 0; }
  // Routes a mouse message at a point.
  LRESULT Mouse(UINT msg, int x, int y, WPARAM flags = 0) {
    return RouteHostMessage(msg, flags, MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)));
  }
  void ClearRecords() {
    events.clear();
    invalidated.clear();
    acquired.clear();
    released.clear();
  }

  std::function<bool(EventArgs*)> on_event;
  std::vector<SeenEvent> events;
  std::vector<RECT> invalidated;
  RECT dirty{};
  std::vector<SWND> update_list;
  std::vector<TargetUse> acquired;
  std::vector<TargetUse> released;
  std::map<UINT_PTR, UINT> timers;
  std::vector<UINT_PTR> killed_timers;
  SWND caret_owner = 0;
  SIZE caret_size{};
  bool caret_shown = false;
  POINT caret_pos{};
  int update_now_calls = 0;
  int tip_refreshes = 0;
  int scale = 100;
  bool wheel_to_hover = false;
  std::u16string host_tr_ctx;

 private:
  SAutoRefPtr<IRenderFactory> factory_;
  SAutoRefPtr<IRenderTarget> picture_;
};

}  // namespace LOOM::test
