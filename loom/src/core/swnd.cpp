// The element: construction, the tree, identity, lookup and message delivery.
#include "core/swnd.h"

#include "core/application.h"
#include "core/log.h"
#include "core/swindow_finder.h"
#include "core/swindow_mgr.h"
#include "core/text_util.h"

namespace LOOM {

namespace {

// The fourteen events every element can raise, in the order they are declared.
constexpr int kElementEvents[] = {
    EVT_CREATE,         EVT_DESTROY,        EVT_SIZE,      EVT_MOUSE_HOVER, EVT_MOUSE_LEAVE,
    EVT_STATECHANGED,   EVT_VISIBLECHANGED, EVT_UPDATE_TOOLTIP, EVT_LBUTTONDOWN, EVT_LBUTTONUP,
    EVT_CMD,            EVT_CTXMENU,        EVT_SETFOCUS,  EVT_KILLFOCUS,
};

// The address of this object is the insert-first marker; nothing ever points to it.
const char g_insert_first_marker = 0;

}  // namespace

SWindow* InsertFirstMarker() {
  return const_cast<SWindow*>(reinterpret_cast<const SWindow*>(&g_insert_first_marker));
}

ILayout* NewLayoutByTag(std::u16string_view tag) {
  SApplication* app = SApplication::Instance();
  if (!app || tag.empty() || !app->HasFactory(SObjectInfo(tag, ObjectKind::Layout))) return nullptr;
  return app->CreateObjectAs<ILayout>(SObjectInfo(tag, ObjectKind::Layout)).detach();
}

SWindow* ElementForHandle(SWND swnd) {
  SApplication* app = SApplication::Instance();
  return app ? app->WindowMgr().ElementForHandle(swnd) : nullptr;
}

SWindow::SWindow() : text_(this), tip_(this) {
  if (SApplication* app = SApplication::Instance()) swnd_ = app->WindowMgr().IssueHandle(this);
  layout_ = SAutoRefPtr<ILayout>::Adopt(NewLayoutByTag(kDefaultLayoutTag));
  if (layout_) layout_param_ = SAutoRefPtr<ILayoutParam>::Adopt(layout_->NewLayoutParams());
  for (int id : kElementEvents) events_.DeclareEvent(id, EventNameOf(id));
}

SWindow::~SWindow() {
  ReleaseChildren();
  if (SApplication* app = SApplication::Instance(); app && swnd_) app->WindowMgr().RetireHandle(swnd_);
}

// ---- tree ------------------------------------------------------------------------------

void SWindow::LinkChild(SWindow* child, SWindow* after) {
  child->parent_ = this;
  if (after == ICWND_FIRST) {
    child->prev_ = nullptr;
    child->next_ = first_child_;
    if (first_child_) first_child_->prev_ = child;
    else last_child_ = child;
    first_child_ = child;
  } else {
    if (after == nullptr || after->parent_ != this) after = last_child_;
    child->prev_ = after;
    child->next_ = after ? after->next_ : first_child_;
    if (after) after->next_ = child;
    else first_child_ = child;
    if (child->next_) child->next_->prev_ = child;
    else last_child_ = child;
  }
  ++child_count_;
}

void SWindow::UnlinkChild(SWindow* child) {
  if (child->prev_) child->prev_->next_ = child->next_;
  else first_child_ = child->next_;
  if (child->next_) child->next_->prev_ = child->prev_;
  else last_child_ = child->prev_;
  child->prev_ = child->next_ = nullptr;
  child->parent_ = nullptr;
  --child_count_;
}

void SWindow::AttachChild(SWindow* child, SWindow* after) {
  if (!child || child == ICWND_FIRST || child == this || child->parent_ == this) return;
  // An ancestor can never become a child: the tree would close into a cycle.
  if (IsDescendantOf(child)) return;
  // The old parent's reference passes to this one; a child without a parent gains one.
  if (SWindow* old_parent = child->parent_) old_parent->DetachChild(child);
  else child->AddRef();
  child->SetContainer(container_);
  LinkChild(child, after);
  layout_dirty_ = kLayoutDirty;
  if (layout_ && !layout_->AcceptsParams(child->LayoutParams()))
    child->SetLayoutParams(SAutoRefPtr<ILayoutParam>::Adopt(layout_->NewLayoutParams()).get());
  child->RecomputeEnabledFromParent();
  if (container_) container_->MarkTreeOrderDirty();
  AskRelayout(swnd_, false);
}

bool SWindow::DetachChild(SWindow* child) {
  if (!child || child == ICWND_FIRST || child->parent_ != this) return false;
  UnlinkChild(child);
  layout_dirty_ = kLayoutDirty;
  if (container_) container_->MarkTreeOrderDirty();
  return true;
}

bool SWindow::DeleteChild(SWindow* child) {
  if (!child || child == ICWND_FIRST || child->parent_ != this) return false;
  SAutoRefPtr<SWindow> keep(child);
  child->MarkDirty();
  child->SendElementMessage(WM_DESTROY);
  if (child->parent_ == this) {
    DetachChild(child);
    child->Release();
  }
  AskRelayout(swnd_, false);
  return true;
}

void SWindow::ReleaseChildren() {
  while (SWindow* child = first_child_) DropChild(child);
}

void SWindow::DropChild(SWindow* child) {
  UnlinkChild(child);
  child->Release();  // the reference the tree held
}

SWindow* SWindow::RelatedElement(int code) const {
  switch (code) {
    case GSW_FIRSTCHILD: return first_child_;
    case GSW_LASTCHILD: return last_child_;
    case GSW_PREVSIBLING: return prev_;
    case GSW_NEXTSIBLING: return next_;
    case GSW_PARENT: return parent_;
    case GSW_OWNER: return owner_;
    default: return nullptr;
  }
}

SWindow* SWindow::Root() {
  SWindow* e = this;
  while (e->parent_) e = e->parent_;
  return e;
}

bool SWindow::IsDescendantOf(const SWindow* ancestor) const {
  for (const SWindow* e = this; e; e = e->parent_)
    if (e == ancestor) return true;
  return false;
}

void SWindow::SetContainer(ISwndContainer* container) {
  ISwndContainer* old = container_;
  if (old != container) ContainerChanging(old, container);
  container_ = container;
  if (old != container) ContainerChanged(old, container);
  for (SWindow* c = first_child_; c; c = c->next_) c->SetContainer(container);
}

void SWindow::ContainerChanging(ISwndContainer* old_container, ISwndContainer*) {
  if (old_container && (style_.flags & kStyleTrackMouse)) old_container->RemoveMouseTracker(swnd_);
}

void SWindow::ContainerChanged(ISwndContainer*, ISwndContainer* new_container) {
  if (new_container && (style_.flags & kStyleTrackMouse)) new_container->AddMouseTracker(swnd_);
}

void SWindow::SetWindowRegion(IRegion* region) {
  MarkDirty();
  window_region_ = region;
  MarkDirty();
}

void SWindow::SetLayoutParams(ILayoutParam* param) {
  if (param) layout_param_ = param;
}

bool SWindow::IsLayoutParticipant() const {
  return !float_ && (own_flags_ & (kOwnVisible | kOwnDisplay)) != 0;
}

// ---- lookup ----------------------------------------------------------------------------

SWindow* SWindow::SearchChildren(int kind, std::u16string_view name, int id, int depth) {
  auto matches = [&](const SWindow* c) { return kind == SWindowFinder::kByName ? c->name_ == name : c->id_ == id; };
  for (SWindow* c = first_child_; c; c = c->next_)
    if (matches(c)) return c;
  if (depth == 1) return nullptr;
  int next_depth = depth < 0 ? depth : depth - 1;
  for (SWindow* c = first_child_; c; c = c->next_)
    if (SWindow* found = c->SearchChildren(kind, name, id, next_depth)) return found;
  return nullptr;
}

SWindow* SWindow::FindInCache(int kind, std::u16string_view name, int id, int depth) {
  SApplication* app = SApplication::Instance();
  if (!app) return SearchChildren(kind, name, id, depth);
  SWindowFinder& finder = app->WindowFinder();
  auto k = static_cast<SWindowFinder::Kind>(kind);
  if (SWND cached = finder.Lookup(swnd_, k, name, id, depth)) {
    // A cached answer counts only while the element still exists, still carries the
    // name or id, and still lies within depth below this element.
    SWindow* e = ElementForHandle(cached);
    bool still = e && (kind == SWindowFinder::kByName ? e->name_ == name : e->id_ == id);
    if (still) {
      int levels = 0;
      const SWindow* p = e;
      while (p && p != this) {
        p = p->parent_;
        ++levels;
      }
      still = p == this && levels >= 1 && (depth < 0 || levels <= depth);
    }
    if (still) return e;
    finder.Drop(swnd_, k, name, id, depth);
  }
  SWindow* found = SearchChildren(kind, name, id, depth);
  if (found) finder.Store(swnd_, k, name, id, depth, found->swnd_);
  return found;
}

SWindow* SWindow::ChildWithName(std::u16string_view name, int depth) {
  if (name.empty() || depth == 0) return nullptr;
  return FindInCache(SWindowFinder::kByName, name, 0, depth);
}

SWindow* SWindow::ChildWithId(int id, int depth) {
  if (id == 0 || depth == 0) return nullptr;
  return FindInCache(SWindowFinder::kById, {}, id, depth);
}

SWindow* SWindow::FindChildByName2(std::u16string_view class_tag, std::u16string_view name, int depth) {
  SWindow* e = ChildWithName(name, depth);
  if (e && e->MatchesTag(class_tag)) return e;
  LogWarning(u"FindChildByName2 Failed, no window of class [" + std::u16string(class_tag) + u"] with name of [" +
                 std::u16string(name) + u"] was found within [" + IntToText(depth) + u"] levels",
             "LOOM::SWindow::FindChildByName2", "include\\core\\SWnd", 526);
  return nullptr;
}

SWindow* SWindow::FindChildByID2(std::u16string_view class_tag, int id, int depth) {
  SWindow* e = ChildWithId(id, depth);
  if (e && e->MatchesTag(class_tag)) return e;
  LogWarning(u"FindChildByID2 Failed, no window of class [" + std::u16string(class_tag) + u"] with id of [" +
                 IntToText(id) + u"] was found within [" + IntToText(depth) + u"] levels",
             "LOOM::SWindow::FindChildByID2", "include\\core\\SWnd", 526);
  return nullptr;
}

// ---- messages --------------------------------------------------------------------------

LRESULT SWindow::SendElementMessage(UINT msg, WPARAM wp, LPARAM lp, BOOL* handled) {
  SAutoRefPtr<SWindow> keep(this);  // a handler may delete the element from its parent
  LRESULT result = 0;
  BOOL h = HandleElementMessage(msg, wp, lp, result);
  if (handled) *handled = h;
  return result;
}

LRESULT SWindow::DefaultElementMessage(UINT, WPARAM, LPARAM) { return 0; }

// ---- variants of tags without a class of their own -------------------------------------

bool SWindowVariant::MatchesTag(std::u16string_view name) const {
  if (name == tag_) return true;
  SApplication* app = SApplication::Instance();
  std::u16string base = base_tag_;
  for (int guard = 0; !base.empty() && guard < 64; ++guard) {
    if (name == base) return true;
    if (base == SWindow::kClassTag) break;
    base = app ? app->BaseTagOf(SObjectInfo(base, ObjectKind::Window)) : std::u16string();
  }
  // A chain that ends in a base-only name ("combobase") is still an element.
  return SWindow::MatchesTag(name);
}

IObject* SWindowVariant::Make(std::u16string_view tag, std::u16string_view base_tag, int) {
  return new SWindowVariant(tag, base_tag);
}

}  // namespace LOOM
