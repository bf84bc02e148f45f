// SWindow: the light-weight element. Every element of a toolkit window is one, built
// from layout markup, laid out by its parent's layout, driven by element messages
// from its container and painted into render targets. Controls derive from it.
//
// Lifetime: elements are counted; a parent holds one reference on each child. The
// handle (SWND) is the safe way to remember an element: it is never reused, and
// ElementForHandle answers nullptr once the element is gone.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/event_set.h"
#include "core/layout.h"
#include "core/render.h"
#include "core/skin.h"
#include "core/swnd_container.h"
#include "core/swnd_defs.h"
#include "core/swnd_style.h"
#include "core/translatable_text.h"
#include "core/xml.h"

namespace LOOM {

class SWindow;

// Insert-after marker of AttachChild: insert as first child.
SWindow* InsertFirstMarker();
#define ICWND_FIRST (::LOOM::InsertFirstMarker())

// What QueryTip answers.
struct SwndToolTipInfo {
  SWND swnd = 0;
  RECT rc_target{};
  std::u16string text;
};

// Font and text colour selected before PrePaint, restored by PostPaint.
struct SPaintState {
  SAutoRefPtr<IRenderObj> old_font;
  COLORREF old_text_color = kNoColor;
};

// Results of attribute application, beyond the low 16 bits.
inline constexpr HRESULT kLayoutAttrBit = 0x20000;
inline constexpr HRESULT kLayoutParamAttrBit = 0x40000;

// Deepest element nesting built from markup; deeper elements are skipped with a warning.
inline constexpr int kMaxMarkupDepth = 256;
// Deepest chain of "include" and template expansions.
inline constexpr int kMaxIncludeDepth = 32;

class SWindow : public TObjRefImpl<SObjectImpl<IObject>>, public ITrCtxProvider {
  LOOM_CLASS_TAG(SWindow, SObjectImpl<IObject>, u"window", u"object", ObjectKind::Window)

 public:
  SWindow();
  ~SWindow() override;
  SWindow(const SWindow&) = delete;
  SWindow& operator=(const SWindow&) = delete;

  // ---- object protocol -------------------------------------------------------------
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  HRESULT AttributeApplied(std::u16string_view name, std::u16string_view value, bool loading,
                           HRESULT result) override;
  int ObjectId() const override { return id_; }
  std::u16string ObjectName() const override { return name_; }
  // Builds the element (and its children) from a markup node; false when the element
  // refused its create message and was removed again.
  bool LoadFromMarkup(const SXmlNode& node) override;
  // No script module: always fails, and the attribute is ignored.
  HRESULT FallbackAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  std::u16string TranslationContext() const override;

  // ---- tree --------------------------------------------------------------------------
  // after: nullptr or the last child appends; ICWND_FIRST inserts first; otherwise
  // after that sibling.
  void AttachChild(SWindow* child, SWindow* after = nullptr);
  // Unlinks a direct child; the caller takes over the parent's reference. False when
  // it is not a child.
  bool DetachChild(SWindow* child);
  // Invalidates, destroys and releases a direct child.
  bool DeleteChild(SWindow* child);
  SWindow* RelatedElement(int code) const;
  SWindow* GetParent() const { return parent_; }
  SWindow* FirstChild() const { return first_child_; }
  SWindow* LastChild() const { return last_child_; }
  SWindow* PrevSibling() const { return prev_; }
  SWindow* NextSibling() const { return next_; }
  SWindow* Owner() const { return owner_; }
  void SetOwner(SWindow* owner) { owner_ = owner; }
  UINT ChildCount() const { return child_count_; }
  SWindow* Root();
  bool IsDescendantOf(const SWindow* ancestor) const;

  // ---- lookup ------------------------------------------------------------------------
  // depth: 1 direct children only, -1 unlimited; 0 finds nothing.
  SWindow* ChildWithId(int id, int depth = -1);
  SWindow* ChildWithName(std::u16string_view name, int depth = -1);
  // The same with a class check; a warning line when nothing matches.
  SWindow* FindChildByName2(std::u16string_view class_tag, std::u16string_view name, int depth = -1);
  SWindow* FindChildByID2(std::u16string_view class_tag, int id, int depth = -1);
  template <class T>
  T* FindChildByName2(std::u16string_view name, int depth = -1) {
    return static_cast<T*>(FindChildByName2(T::kClassTag, name, depth));
  }
  template <class T>
  T* FindChildByID2(int id, int depth = -1) {
    return static_cast<T*>(FindChildByID2(T::kClassTag, id, depth));
  }

  // ---- identity ----------------------------------------------------------------------
  SWND Handle() const { return swnd_; }
  int Id() const { return id_; }
  void SetId(int id) { id_ = id; }
  const std::u16string& Name() const { return name_; }
  void SetName(std::u16string_view name) { name_ = name; }
  ULONG_PTR UserData() const { return user_data_; }
  void SetUserData(ULONG_PTR data) { user_data_ = data; }
  ISwndContainer* Container() const { return container_; }
  // Gives the element and its subtree a container.
  void SetContainer(ISwndContainer* container);

  // ---- messages ----------------------------------------------------------------------
  // Delivers a message to HandleElementMessage synchronously; the element stays alive
  // for the call. handled receives the handled mark.
  LRESULT SendElementMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0, BOOL* handled = nullptr);

  // ---- state -------------------------------------------------------------------------
  // new = add | (old & ~remove); the old state is returned.
  DWORD ChangeState(DWORD add, DWORD remove, bool update = false);
  DWORD State() const { return state_; }
  DWORD OwnFlags() const { return own_flags_; }
  void ShowElement(bool visible, bool update = true);
  void EnableElement(bool enabled, bool update = true);
  // With check_parent the effective state (no invisible ancestor), else the own flag.
  bool IsShown(bool check_parent = true) const;
  bool HasDisabledState(bool check_parent = true) const;
  bool HasCheckedState() const { return (state_ & WndState_Check) != 0; }
  bool IsFocused() const;
  bool IsFloat() const { return float_; }
  bool IsDisplayed() const { return (own_flags_ & kOwnDisplay) != 0; }
  bool IsMsgTransparent() const { return (own_flags_ & kOwnMsgTransparent) != 0; }
  bool IsFocusable() const { return (own_flags_ & kOwnFocusable) != 0; }
  // Takes part in its parent's layout: not float, and visible or kept in place.
  bool IsLayoutParticipant() const;

  // ---- text --------------------------------------------------------------------------
  const TranslatableText& Text() const { return text_; }
  const TranslatableText& Tip() const { return tip_; }
  const std::u16string& TrCtx() const { return tr_ctx_; }

  // ---- geometry ----------------------------------------------------------------------
  RECT ElementArea() const { return rc_window_; }
  RECT MarginPixels() const { return style_.MarginPixels(); }
  RECT PaddingPixels() const { return style_.PaddingPixels(); }
  // With a rectangle the element floats there; without one it returns to its
  // parent's layout.
  void PlaceAt(const RECT* rc);
  // Invalidation of the window rectangle, or of rc within it.
  void MarkDirty(const RECT* rc = nullptr);
  void MarkClientDirty();
  SLayoutSize MaxWidth() const { return max_width_; }
  int LayoutDirtyMark() const { return layout_dirty_; }
  ILayout* Layout() const { return layout_.get(); }
  // Replaces the layout parameter (one reference taken).
  void SetLayoutParams(ILayoutParam* param);

  // ---- style and skins ---------------------------------------------------------------
  SwndStyle& Style() { return style_; }
  const SwndStyle& Style() const { return style_; }
  ISkinObj* BackgroundSkin() const { return bg_skin_.get(); }
  ISkinObj* NonClientSkin() const { return nc_skin_.get(); }
  void SetBackgroundSkin(ISkinObj* skin) { bg_skin_ = skin; }
  void SetNonClientSkin(ISkinObj* skin) { nc_skin_ = skin; }
  COLORREF Colorize() const { return colorize_; }
  // Element coordinates; nullptr for none. One reference taken.
  void SetWindowRegion(IRegion* region);
  IRegion* WindowRegion() const { return window_region_.get(); }

  // ---- events ------------------------------------------------------------------------
  SEventSet& EventTable() { return events_; }
  bool SubscribeEvent(int id, const ISlotFunctor& slot) { return events_.Connect(id, slot); }
  bool SubscribeEvent(int id, std::function<bool(EventArgs*)> fn) { return events_.Connect(id, std::move(fn)); }
  bool UnsubscribeEvent(int id, const ISlotFunctor& slot) { return events_.Disconnect(id, slot); }
  bool FireCommand();
  bool FireCtxMenu(POINT pt);

  // ---- timers ------------------------------------------------------------------------
  // Timer ids 0-127 on the host window; false for other ids or without a container.
  bool SetElementTimer(UINT timer_id, UINT elapse_ms);
  void KillElementTimer(UINT timer_id);
  // Thread timers without a window: on expiry the element receives UM_THREADTIMER.
  bool SetThreadTimer(UINT timer_id, UINT elapse_ms);
  void KillThreadTimer(UINT timer_id);

  // ---- painting ----------------------------------------------------------------------
  // Paints this element and its descendants whose tree-order numbers lie in
  // [first, end) into rt, limited to region when one is given.
  void PaintSubtree(IRenderTarget* rt, IRegion* region, UINT first = 0, UINT end = kOrderUnlimited);
  // A target for painting this element now (see docs/toolkit.md); pair with
  // EndElementPaint.
  IRenderTarget* BeginElementPaint(const RECT* rc, UINT mode, bool client_only);
  void EndElementPaint(IRenderTarget* rt);
  void PaintBelow(IRenderTarget* rt, const RECT& rc);
  void PaintAbove(IRenderTarget* rt, const RECT& rc);
  // The host's repaint of an element without background blending.
  void RepaintUpdateRegion();
  void RepaintNonClientNow();
  void HoldUpdates() { ++update_lock_; }
  void ReleaseUpdates() { --update_lock_; }
  bool UpdatesHeld() const { return update_lock_ > 0; }
  IRenderTarget* CacheTarget() const { return cache_rt_.get(); }
  IRenderTarget* LayerTarget() const { return layer_rt_.get(); }
  IRegion* UpdateRegion() const { return update_region_.get(); }
  bool CacheNeedsRedraw() const { return (own_flags_ & kOwnCacheDirty) != 0; }
  UINT TreeOrder() const { return tree_order_; }
  void SetTreeOrder(UINT order) { tree_order_ = order; }
  static constexpr UINT kOrderUnlimited = 0xFFFFFFFFu;

  // ---- virtual operations ------------------------------------------------------------
  virtual ILayoutParam* LayoutParams() const { return layout_param_.get(); }
  // Translated text, or the source text with raw.
  virtual std::u16string GetElementText(bool raw = false) const;
  virtual void SetElementText(std::u16string_view text);
  virtual void SetTipText(std::u16string_view text);
  virtual std::u16string GetTipText() const { return tip_.Translated(); }
  // Window rectangle less the margin.
  virtual RECT ClientArea() const;
  virtual void ComputeClientRect(RECT& out) const;
  // Inside the window region (when there is one) or rectangle; client_only tests the
  // client rectangle.
  virtual bool CoversPoint(POINT pt, bool client_only = false) const;
  virtual void TintElement(COLORREF color);
  virtual void CreateChildren(const SXmlNode& node);
  // The container's scale in percent, 100 without one.
  virtual int CurrentScale() const;
  // Radio-like grouping (the focus manager's arrow keys and Tab): false in the base.
  virtual bool InRadioGroup() const { return false; }
  virtual bool IsGroupSelection() const { return false; }
  // The selected member of the group this element belongs to, or nullptr.
  virtual SWindow* GroupSelection();
  // Sets the cursor for a point; true when it set one.
  virtual bool ChooseCursor(POINT pt);
  virtual bool QueryTip(POINT pt, SwndToolTipInfo& info);
  virtual void BeforeStateChange(DWORD old_state, DWORD new_state);
  // Fires the state-changed event.
  virtual void AfterStateChange(DWORD old_state, DWORD new_state);
  virtual void AskRelayout(SWND source, bool source_resizable);
  virtual void LayoutIfDirty();
  virtual void ContentUpdated();
  virtual void TranslateOwnText();
  // The element under a point (this one, a descendant) or 0.
  virtual SWND HitTestElement(POINT pt);
  virtual bool RaiseEvent(EventArgs& args);
  // Which keys the element handles itself (SC_WANT* bits); 0 in the base.
  virtual UINT KeyWants() const { return 0; }
  virtual bool AcceptsFocus() const { return IsFocusable(); }
  virtual bool IsPointOutsideClient(POINT pt) const;
  virtual bool ClipsToClient() const { return (own_flags_ & kOwnClipClient) != 0; }
  virtual void RelayoutChildren();
  // Offered to float children after their parent placed its children; nothing here.
  virtual void FloatAreaOffered(const RECT& children_area);
  virtual void TakeRect(const RECT& rc);
  // Client rectangle less the padding.
  virtual RECT ChildrenArea() const;
  virtual SIZE PreferredSize(int width_hint, int height_hint);
  // Measures the translated text in rc (DT_CALCRECT) with the element's fonts.
  virtual void MeasureText(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format);
  virtual bool RepaintsOnStateChange() const;
  virtual RECT TextArea() const;
  virtual void PaintText(IRenderTarget* rt, std::u16string_view text, RECT rc, UINT format);
  virtual void PaintFocusFrame(IRenderTarget* rt);
  virtual void PrePaint(IRenderTarget* rt, SPaintState& state);
  virtual void PostPaint(IRenderTarget* rt, SPaintState& state);
  // Container-side operations of subclasses: before and after a container change.
  virtual void ContainerChanging(ISwndContainer* old_container, ISwndContainer* new_container);
  virtual void ContainerChanged(ISwndContainer* old_container, ISwndContainer* new_container);
  virtual bool PaintsToCache() const;
  virtual bool UsesLayer() const { return (own_flags_ & kOwnLayered) != 0; }
  // Messages nobody handled: answers 0.
  virtual LRESULT DefaultElementMessage(UINT msg, WPARAM wp, LPARAM lp);
  // The message map; true when handled, the answer in result.
  virtual BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  virtual void LanguageSwitched();
  virtual void ScaleSwitched(int scale);

 protected:
  // ---- message handlers of the base element -----------------------------------------
  virtual int OnCreate();
  virtual void OnDestroy();
  virtual void OnSize(UINT type, SIZE size);
  virtual void OnSetFocus(SWND old_focus, int reason);
  virtual void OnKillFocus(SWND new_focus);
  virtual void OnEnable(bool enabled, LPARAM reason);
  virtual void OnShowWindow(bool visible, LPARAM reason);
  virtual void OnPaint(IRenderTarget* rt);
  virtual BOOL OnEraseBkgnd(IRenderTarget* rt);
  virtual void OnNcPaint(IRenderTarget* rt);
  virtual void OnMouseMove(UINT flags, POINT pt);
  virtual void OnLButtonDown(UINT flags, POINT pt);
  virtual void OnLButtonUp(UINT flags, POINT pt);
  virtual void OnRButtonDown(UINT flags, POINT pt);
  virtual void OnRButtonUp(UINT flags, POINT pt);
  virtual BOOL OnMouseWheel(UINT flags, short delta, POINT pt);
  virtual void OnMouseHover(UINT flags, POINT pt);
  virtual void OnMouseLeave();

  // Applies the style class name (the "class" attribute).
  void ApplyStyleClass(std::u16string_view name, bool loading);
  // Fires an event built by the caller.
  bool FireEvent(EventArgs& args) { return RaiseEvent(args); }
  // The text format of the style (what PaintText receives).
  UINT DrawTextFormat() const { return style_.TextFormat(); }
  void SetFloat(bool f) { float_ = f; }
  void SetLayoutDirty(int mark) { layout_dirty_ = mark; }
  void SetOwnFlag(DWORD flag, bool on) { own_flags_ = on ? (own_flags_ | flag) : (own_flags_ & ~flag); }
  // Makes or drops the cache target as PaintsToCache says, and invalidates.
  void RebuildCache();
  void RebuildLayer();

 private:
  struct IncludeFrame;
  // What an element paints into between BeginElementPaint and EndElementPaint.
  struct PaintRecord {
    RECT area{};
    UINT mode = 0;
    SAutoRefPtr<IRegion> region;
    SWND layered = 0;        // the layered element whose layer is the target, or 0
    bool from_host = false;  // the target came from the container
  };
  // Hands a paint target back to the container that lent it; any other target is
  // dropped with the reference.
  void GiveBackPaintTarget(SAutoRefPtr<IRenderTarget> rt, bool from_host, const RECT& area, UINT mode);

  HRESULT ApplyOwnAttribute(std::u16string_view name, std::u16string_view value, bool loading, bool& known);
  HRESULT ApplyLayoutAttribute(std::u16string_view value);
  void ApplyIdText(std::u16string_view value);
  void ApplySkinByName(std::u16string_view name, bool non_client, int scale);
  void CreateChild(const SXmlNode& child);
  void CreateFromInclude(const SXmlNode& include);
  void CreateFromTemplate(const SXmlNode& child, std::u16string_view template_name);
  SWindow* CreateChildFromNode(const SXmlNode& node);
  bool IncludeActive(std::u16string_view key, int& depth) const;
  int MarkupDepth() const;
  void LinkChild(SWindow* child, SWindow* after);
  void UnlinkChild(SWindow* child);
  // Unlinks a child and drops the reference the tree held to it.
  void DropChild(SWindow* child);
  void ReleaseChildren();
  void RecomputeEnabledFromParent();
  void MarkDirtyWithFlag(RECT rc, bool mark_cache);
  SWindow* NearestLayered();
  // PrePaint of the root, every ancestor and (with include_self) this element.
  void SelectPaintStateChain(IRenderTarget* rt, bool include_self);
  void EnsureTreeOrder();
  void UpdateCacheTargets();
  void PaintOwnContent(IRenderTarget* rt, const RECT& client);
  void PaintOwnMargin(IRenderTarget* rt);
  RECT VisibleAreaWithinAncestors(RECT rc) const;
  SIZE MeasureTextSize(int width, int height, bool width_wraps);
  SWindow* FindInCache(int kind, std::u16string_view name, int id, int depth);
  SWindow* SearchChildren(int kind, std::u16string_view name, int id, int depth);

  // Tree links; the parent holds one reference on every child.
  SWindow* parent_ = nullptr;
  SWindow* owner_ = nullptr;
  SWindow* first_child_ = nullptr;
  SWindow* last_child_ = nullptr;
  SWindow* prev_ = nullptr;
  SWindow* next_ = nullptr;
  UINT child_count_ = 0;

  SWND swnd_ = 0;
  ISwndContainer* container_ = nullptr;
  RECT rc_window_{};
  SEventSet events_;
  SAutoRefPtr<ILayout> layout_;
  SAutoRefPtr<ILayoutParam> layout_param_;
  SwndStyle style_;
  TranslatableText text_;
  TranslatableText tip_;
  std::u16string name_;
  std::u16string tr_ctx_;
  int id_ = 0;
  ULONG_PTR user_data_ = 0;
  DWORD own_flags_ = kOwnFlagsDefault;
  DWORD state_ = WndState_Normal;
  SAutoRefPtr<ISkinObj> bg_skin_;
  SAutoRefPtr<ISkinObj> nc_skin_;
  std::u16string bg_skin_name_;
  std::u16string nc_skin_name_;
  SLayoutSize max_width_{SIZE_WRAP_CONTENT, SizeUnit::px};
  COLORREF colorize_ = 0;
  SAutoRefPtr<IRegion> window_region_;
  SAutoRefPtr<IRenderTarget> cache_rt_;
  SAutoRefPtr<IRenderTarget> layer_rt_;
  SAutoRefPtr<IRegion> update_region_;
  int update_lock_ = 0;
  std::unique_ptr<PaintRecord> paint_record_;
  int layout_dirty_ = kLayoutDirty;
  bool float_ = false;
  UINT tree_order_ = 0;
  // The include and template expansions running on this element (see CreateChildren).
  const IncludeFrame* include_frame_ = nullptr;
};

// The element of a window tag that has no class of its own: it behaves as SWindow,
// carries its tag, and answers MatchesTag along the registry's base chain.
class SWindowVariant final : public SWindow {
 public:
  SWindowVariant(std::u16string_view tag, std::u16string_view base_tag) : tag_(tag), base_tag_(base_tag) {}
  bool MatchesTag(std::u16string_view name) const override;
  std::u16string_view TagName() const override { return tag_; }
  static IObject* Make(std::u16string_view tag, std::u16string_view base_tag, int kind);

 private:
  std::u16string tag_;
  std::u16string base_tag_;
};

// The element for a handle; nullptr when it is gone (or without an application).
SWindow* ElementForHandle(SWND swnd);

// The render target carried by the wParam of paint messages.
inline IRenderTarget* PaintTargetOf(WPARAM wp) { return reinterpret_cast<IRenderTarget*>(wp); }
inline WPARAM PaintTargetParam(IRenderTarget* rt) { return reinterpret_cast<WPARAM>(rt); }

}  // namespace LOOM
