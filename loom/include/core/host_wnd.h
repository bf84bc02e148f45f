// SHostWnd: the toolkit's top-level window. One native window that shows a tree of
// elements built from a layout resource: it is at once the native window (CSimpleWnd),
// the container that dispatches input, focus and timers to the elements
// (SwndContainerImpl) and the root element of the tree.
//
// Life: construct with a layout reference ("LAYOUT:XML_MAINWND"; without a colon the
// type is "LAYOUT") -> Create() (WM_CREATE loads the layout, applies the attributes of
// its "LOOM" element and builds the tree of its "root" element; the window takes its
// size from the layout when created with size 0; "on_init" is raised) -> shown by its
// owner -> running -> WM_DESTROY ("on_exit", tree destroyed; a main window posts the
// quit code 1) -> the object is destroyed by its owner, and may be created again.
//
// Painting: elements paint into an off-screen cache of the client area; invalidations
// collect in an invalid region and cost one repaint at the next WM_PAINT, which copies
// the repainted area to the screen (host_paint.cpp). The caret of an edit control is
// drawn into the cache by inversion (host_caret.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/host_wnd_attr.h"
#include "core/simple_wnd.h"
#include "core/swnd_container_impl.h"
#include "core/tooltip.h"
#include "platform/ui/paint.h"

namespace LOOM {

class SHostWnd;
class SSkinPool;
class SStylePool;
class STemplatePool;

// The invisible window whose WM_PAINT drives the repaints of a translucent host.
class SDummyWnd : public CSimpleWnd {
 public:
  explicit SDummyWnd(SHostWnd* host) : host_(host) {}
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;

 private:
  SHostWnd* host_;
};

// The caret image of an edit control: a render target of the caret's size holding the
// given bitmap stretched to it, or opaque black without one.
class SCaret : public TObjRefImpl<IObjRef> {
 public:
  SCaret(SWND owner, IBitmap* bitmap, int width, int height);
  SWND Owner() const { return owner_; }
  SIZE Size() const { return size_; }
  IRenderTarget* Image() const { return image_.get(); }

 private:
  SWND owner_;
  SIZE size_;
  SAutoRefPtr<IRenderTarget> image_;
};

class SHostWnd : public SwndContainerImpl, public CSimpleWnd {
  LOOM_CLASS_TAG(SHostWnd, SwndContainerImpl, u"hostwnd", u"SwndContainerImpl", ObjectKind::Window)

 public:
  // Private messages of the host.
  static constexpr UINT kMsgInspectorWindow = 12024;  // lParam: the inspection tool's window
  static constexpr UINT kMsgRelatedElement = 12025;   // wParam: element (0: root), lParam: relation
  static constexpr UINT kMsgDescribeElement = 12026;  // wParam: element (0: root)
  static constexpr UINT kMsgElementAtPoint = 12027;   // lParam: screen point
  // The root's own timers on the host window.
  static constexpr UINT kCaretTimer = 1;
  static constexpr UINT kFrameTimer = 2;
  static constexpr UINT kFrameIntervalMs = 10;
  // The repaint flag of a translucent host's dummy window: only the repainted area is
  // copied to the screen.
  static constexpr LPARAM kPrintRepaintedAreaOnly = static_cast<LPARAM>(0x80000000u);
  static constexpr char16_t kWindowName[] = u"HOSTWND";

  explicit SHostWnd(std::u16string_view layout_name = {});
  ~SHostWnd() override;

  // ---- creation ---------------------------------------------------------------------------
  // Creates the native window (an existing one is returned unchanged). With a width or a
  // height of 0 the layout gives the size and the window is centred over its owner.
  HWND Create(HWND owner, DWORD style, DWORD ex_style, int x, int y, int width, int height);
  // WS_CLIPCHILDREN | WS_MAXIMIZEBOX, no extended style.
  HWND Create(HWND owner, int x = 0, int y = 0, int width = 0, int height = 0);
  // Applies a layout's "LOOM" element: pools, attributes, styles, title, opacity, icons,
  // the element tree of its "root" element and the size (0: from the layout). False
  // when the node is empty or the window does not exist.
  bool ApplyLayout(const SXmlNode& loom, int width = 0, int height = 0);
  const std::u16string& LayoutName() const { return layout_name_; }
  const SHostWndAttr& HostAttr() const { return attr_; }

  // ---- the event hook ---------------------------------------------------------------------
  // Events that bubble up from the tree to the container end here. True when handled;
  // the base handles nothing. CMainDlg and the dialogs act on command events here.
  virtual bool OnHostEvent(EventArgs* args);

  // ---- painting ---------------------------------------------------------------------------
  // Repaints the whole window at the next paint.
  void Redraw();
  // The repaint: lays out what is dirty, paints the invalid area of the tree into the
  // cache, lets listed elements repaint themselves and copies the result to `device`
  // (nullptr: the layered update of a translucent host). `flags` is WM_PRINT's lParam;
  // kPrintRepaintedAreaOnly copies only what was repainted.
  void OnPrint(::HDC device, LPARAM flags);
  IRenderTarget* Cache() const { return cache_.get(); }
  // How many repaints ran, and the area the last one copied to the screen.
  int RepaintCount() const { return repaint_count_; }
  RECT LastCopiedArea() const { return last_copied_; }
  bool CaretDrawn() const { return caret_drawn_; }
  HWND DummyWindow() const { return dummy_ ? dummy_->NativeHandle() : nullptr; }
  IToolTip* ToolTip() const { return tooltip_.get(); }

  // ---- the container's host operations ----------------------------------------------------
  bool EventReachedHost(EventArgs* args) override;
  HWND HostHandle() const override { return NativeHandle(); }
  std::u16string HostTranslationContext() const override { return attr_.tr_ctx; }
  bool IsTranslucent() const override { return attr_.translucent; }
  bool SendsWheelToHover() const override { return attr_.send_wheel_to_hover; }
  RECT ContainerRect() const override { return ElementArea(); }
  IRenderTarget* AcquireRenderTarget(const RECT& rc, UINT mode) override;
  void ReleaseRenderTarget(IRenderTarget* rt, const RECT& rc, UINT mode) override;
  void InvalidateHostRect(const RECT& rc) override;
  void QueueElementUpdate(SWND swnd) override;
  bool ReleaseElementCapture() override;
  SWND CaptureElement(SWND swnd) override;
  bool CreateCaret(SWND owner, IBitmap* bitmap, int width, int height) override;
  bool ShowCaret(bool show) override;
  bool MoveCaret(POINT pt) override;
  void UpdateNow() override;
  void RefreshTip() override;
  bool AddFrameHandler(ITimelineHandler* handler) override;
  bool RemoveFrameHandler(ITimelineHandler* handler) override;
  // The application's main loop; a dialog answers its own.
  IMessageLoop* MessageLoop() override;
  int Scale() const override { return 100; }
  bool SetHostTimer(UINT_PTR id, UINT elapse_ms) override;
  void KillHostTimer(UINT_PTR id) override;

  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;

 protected:
  // Follows later size changes of a content-sized root (subscribed by ApplyLayout).
  virtual bool OnRootSizeChanged(EventArgs* args);

  // ---- message handlers ---------------------------------------------------------------------
  int OnWndCreate(const CREATESTRUCTW* create);
  void OnWndDestroy();
  void OnWndSize(UINT type, int width, int height);
  LRESULT OnNcCalcSize(WPARAM calc_valid_rects, LPARAM lp);
  LRESULT OnNcHitTest(POINT screen_point);
  void OnGetMinMaxInfo(MINMAXINFO* info);
  LRESULT OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnKeyMessage(UINT msg, WPARAM wp, LPARAM lp);
  void OnActivate(WPARAM wp);
  LRESULT OnSetCursor(WPARAM wp, LPARAM lp);
  void OnTimer(UINT_PTR id);
  void OnCaptureChanged(HWND new_capture);
  LRESULT OnInspection(UINT msg, WPARAM wp, LPARAM lp);

 private:
  struct ClickState {
    UINT msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
  };

  // Layout application, in its order (host_layout.cpp).
  void ReloadPrivatePools(const SXmlNode& loom);
  void ApplyStyles();
  void ApplyOpacity();
  void ApplyIcons();
  SIZE ComputeSize(int width, int height);
  void DropPrivatePools();

  // Input (host_input.cpp).
  void RecordClickState(UINT msg, WPARAM wp, LPARAM lp);
  void RestoreClickState();
  void UpdateTip(POINT client_point);
  void OnFrameTimer();

  // Painting (host_paint.cpp, host_caret.cpp).
  void OnPaintMessage();
  void CreatePaintResources();
  void ReleasePaintResources();
  void InvalidateScreen(const RECT* rc);
  void CopyToScreen(::HDC device, const RECT& area);
  void PresentNow(const RECT& rc);
  void RepaintUpdateList();
  // Inverts the caret's pixels in the cache; with invalidate the screen follows.
  void ToggleCaret(bool invalidate);
  RECT CaretArea() const;
  void CreateDummyWindow();
  void DestroyDummyWindow();
  RECT ClientRectOfHost() const;

  std::u16string layout_name_;
  SHostWndAttr attr_;
  bool tracking_mouse_ = false;
  SAutoRefPtr<IToolTip> tooltip_;
  ClickState click_{};
  HWND inspector_ = nullptr;
  bool follows_root_size_ = false;

  SAutoRefPtr<SStylePool> style_pool_;
  SAutoRefPtr<SSkinPool> skin_pool_;
  SAutoRefPtr<STemplatePool> template_pool_;
  bool style_pool_pushed_ = false;
  bool skin_pool_pushed_ = false;
  bool template_pool_pushed_ = false;

  // Painting state.
  SAutoRefPtr<IRenderTarget> cache_;
  SAutoRefPtr<IRegion> invalid_;
  bool full_redraw_ = true;
  bool dirty_ = false;
  bool sizing_ = false;
  bool in_repaint_ = false;
  std::vector<SWND> update_list_;
  std::vector<RECT> late_paint_;
  SAutoRefPtr<SCaret> caret_;
  POINT caret_pos_{};
  bool caret_shown_ = false;
  bool caret_drawn_ = false;
  int caret_erased_for_targets_ = 0;
  std::unique_ptr<SDummyWnd> dummy_;
  int repaint_count_ = 0;
  RECT last_copied_{};
};

}  // namespace LOOM
