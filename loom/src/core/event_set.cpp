#include "core/event_set.h"

#include <algorithm>

#include "core/swnd.h"

namespace LOOM {

namespace {

struct EventName {
  int id;
  std::u16string_view name;
};

// Every registered event, by id.
constexpr EventName kEventNames[] = {
    {EVT_INIT, u"on_init"},
    {EVT_EXIT, u"on_exit"},
    {EVT_TIMER, u"on_timer"},
    {EVT_SETFOCUS, u"on_set_focus"},
    {EVT_KILLFOCUS, u"on_kill_focus"},
    {EVT_CREATE, u"on_create"},
    {EVT_DESTROY, u"on_destroy"},
    {EVT_SIZE, u"on_size"},
    {EVT_VISIBLECHANGED, u"on_visible_changed"},
    {EVT_STATECHANGED, u"on_state_changed"},
    {EVT_LBUTTONDOWN, u"on_mouse_lbutton_down"},
    {EVT_LBUTTONUP, u"on_mouse_lbutton_up"},
    {EVT_UPDATE_TOOLTIP, u"on_update_tooltip"},
    {EVT_KEYDOWN, u"on_key_down"},
    {EVT_MOUSE_HOVER, u"on_mouse_hover"},
    {EVT_MOUSE_LEAVE, u"on_mouse_leave"},
    {EVT_CMD, u"on_command"},
    {EVT_CTXMENU, u"on_conext_menu"},
    {EVT_SCROLLVIEW_ORIGINCHANGED, u"on_scrollview_origin_changed"},
    {EVT_SCROLLVIEW_SIZECHANGED, u"on_scrollview_size_changed"},
    {EVT_SCROLL, u"on_scroll"},
    {EVT_OFPANEL, u"on_event_of_panel"},
    {EVT_ITEMPANEL_CLICK, u"on_itempanel_click"},
    {EVT_ITEMPANEL_DBCLICK, u"on_itempanel_dbclick"},
    {EVT_ITEMPANEL_RCLICK, u"on_itemparem_rclick"},
    {EVT_ITEMPANEL_HOVER, u"on_itempanel_hover"},
    {EVT_ITEMPANEL_LEAVE, u"on_itempanel_leave"},
    {EVT_TAB_SELCHANGING, u"on_tab_sel_changing"},
    {EVT_TAB_SELCHANGED, u"on_tab_sel_changed"},
    {EVT_TAB_ITEMHOVER, u"on_tab_item_hover"},
    {EVT_TAB_ITEMLEAVE, u"on_tab_item_leave"},
    {EVT_LB_SELCHANGING, u"on_listbox_sel_changing"},
    {EVT_LB_SELCHANGED, u"on_listbox_sel_changed"},
    {EVT_LB_DBCLICK, u"on_listbox_item_dbclick"},
    {EVT_LC_SELCHANGING, u"on_listctrl_sel_changing"},
    {EVT_LC_SELCHANGED, u"on_listctrl_sel_changed"},
    {EVT_LC_ITEMDELETED, u"on_listctrl_del_item"},
    {EVT_LC_DBCLICK, u"on_listctrl_item_dbclick"},
    {EVT_TV_SELCHANGING, u"on_treeview_select_changing"},
    {EVT_TV_SELCHANGED, u"on_treeview_select_changed"},
    {EVT_TC_SELCHANGING, u"on_treectrl_sel_changing"},
    {EVT_TC_SELCHANGED, u"on_treectrl_sel_changed"},
    {EVT_TC_EXPAND, u"on_treectrl_item_expand"},
    {EVT_TC_CHECKSTATE, u"on_treectrl_item_check"},
    {EVT_TC_DBCLICK, u"on_treectrl_item_dbclick"},
    {EVT_LV_SELCHANGING, u"on_listview_select_changing"},
    {EVT_LV_SELCHANGED, u"on_listview_select_changed"},
    {EVT_RE_NOTIFY, u"on_richedit_notify"},
    {EVT_RE_MENU, u"on_richedit_menu"},
    {EVT_SLIDER_POS, u"on_slider_pos"},
    {EVT_HEADER_CLICK, u"on_header_click"},
    {EVT_HEADER_ITEMCHANGING, u"on_header_item_changing"},
    {EVT_HEADER_ITEMCHANGED, u"on_header_item_changed"},
    {EVT_HEADER_ITEMSWAP, u"on_header_item_swap"},
    {EVT_HEADER_RELAYOUT, u"on_header_relayout"},
    {EVT_CB_SELCHANGE, u"on_combobox_sel_change"},
    {EVT_CB_DROPDOWN, u"on_combobox_dropdown"},
    {EVT_CALENDAR_SELDAY, u"on_calendar_sel_day"},
    {EVT_CALENDAR_SETDATE, u"on_calendar_set_date"},
    {EVT_CALENDAREX_CHANGED, u"on_calendarex_changed"},
    {EVT_DATETIME_CHANGED, u"on_datetime_changed"},
    {EVT_SPIN_VALUE2STRING, u"on_spin_value2string"},
    {EVT_SPLIT_PANE_MOVED, u"on_split_pane_moved"},
    {EVT_ANIMATE_START, u"on_animate_start"},
    {EVT_ANIMATE_STOP, u"EVT_ANI_STOP"},
    {EVT_SELECTMENU, u"on_select_menu"},
    {EVT_HOT_KEY_SET, u"on_hot_key_set_event"},
};

}  // namespace

std::u16string_view EventNameOf(int id) {
  for (const auto& e : kEventNames)
    if (e.id == id) return e.name;
  return {};
}

EventArgs::EventArgs(SWindow* sender)
    : sender_(sender),
      sender_id_(sender ? sender->ObjectId() : 0),
      sender_name_(sender ? sender->Name() : std::u16string()) {}

bool SEvent::Connect(const ISlotFunctor& slot) {
  for (const auto& h : handlers_)
    if (h->SameHandler(slot)) return false;
  handlers_.push_back(std::shared_ptr<ISlotFunctor>(slot.CopyHandler()));
  return true;
}

bool SEvent::Disconnect(const ISlotFunctor& slot) {
  auto it = std::find_if(handlers_.begin(), handlers_.end(), [&](const auto& h) { return h->SameHandler(slot); });
  if (it == handlers_.end()) return false;
  handlers_.erase(it);
  return true;
}

void SEvent::Fire(EventArgs& args) {
  // A snapshot, so that handlers may (un)subscribe while the event runs; every handler
  // of the snapshot stays alive until it has returned.
  std::vector<std::shared_ptr<ISlotFunctor>> snapshot = handlers_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if ((*it)->RunHandler(&args)) ++args.handled;
    if (!args.bubble_up) break;
  }
}

void SEventSet::DeclareEvent(int id, std::u16string_view name) {
  if (Find(id)) return;
  events_.push_back(std::make_unique<SEvent>(id, std::u16string(name)));
}

void SEventSet::ForgetEvent(int id) {
  std::erase_if(events_, [id](const auto& e) { return e->Id() == id; });
}

SEvent* SEventSet::Find(int id) const {
  for (const auto& e : events_)
    if (e->Id() == id) return e.get();
  return nullptr;
}

SEvent* SEventSet::FindByName(std::u16string_view name) const {
  for (const auto& e : events_)
    if (e->Name() == name) return e.get();
  return nullptr;
}

bool SEventSet::Connect(int id, const ISlotFunctor& slot) {
  SEvent* e = Find(id);
  return e && e->Connect(slot);
}

bool SEventSet::Disconnect(int id, const ISlotFunctor& slot) {
  SEvent* e = Find(id);
  return e && e->Disconnect(slot);
}

void SEventSet::RaiseEvent(EventArgs& args) {
  if (muted_) return;
  if (SEvent* e = Find(args.EventId())) e->Fire(args);
}

bool SEventSet::AttachScript(std::u16string_view name, std::string script) {
  SEvent* e = FindByName(name);
  if (!e) return false;
  e->SetScript(std::move(script));
  return true;
}

}  // namespace LOOM
