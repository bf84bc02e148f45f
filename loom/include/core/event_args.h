// Events that elements raise: an args object with a numeric id and a name, built on
// the stack for one firing. Handlers clear the bubble-up flag to claim an event.
#pragma once

#include <string>
#include <string_view>

#include "core/object.h"
#include "platform/base/win_types.h"

namespace LOOM {

class SWindow;

// Event ids of the toolkit.
enum EventId : int {
  EVT_INIT = 8000,
  EVT_EXIT = 8001,
  EVT_TIMER = 8002,
  EVT_SETFOCUS = 8100,
  EVT_KILLFOCUS = 8101,
  EVT_CREATE = 8102,
  EVT_DESTROY = 8103,
  EVT_SIZE = 8104,
  EVT_VISIBLECHANGED = 8105,
  EVT_STATECHANGED = 8106,
  EVT_LBUTTONDOWN = 8107,
  EVT_LBUTTONUP = 8108,
  EVT_UPDATE_TOOLTIP = 8109,
  EVT_KEYDOWN = 8200,
  EVT_MOUSE_HOVER = 9000,
  EVT_MOUSE_LEAVE = 9001,
  EVT_CMD = 10000,
  EVT_CTXMENU = 10001,
  EVT_SCROLLVIEW_ORIGINCHANGED = 10002,
  EVT_SCROLLVIEW_SIZECHANGED = 10003,
  EVT_SCROLL = 10004,
  EVT_OFPANEL = 10006,
  EVT_ITEMPANEL_CLICK = 10007,
  EVT_ITEMPANEL_DBCLICK = 10008,
  EVT_ITEMPANEL_RCLICK = 10009,
  EVT_ITEMPANEL_HOVER = 10010,
  EVT_ITEMPANEL_LEAVE = 10011,
  EVT_TAB_SELCHANGING = 11000,
  EVT_TAB_SELCHANGED = 11001,
  EVT_TAB_ITEMHOVER = 11002,
  EVT_TAB_ITEMLEAVE = 11003,
  EVT_LB_SELCHANGING = 12000,
  EVT_LB_SELCHANGED = 12001,
  EVT_LB_DBCLICK = 12002,
  EVT_LC_SELCHANGING = 13000,
  EVT_LC_SELCHANGED = 13001,
  EVT_LC_ITEMDELETED = 13002,
  EVT_LC_DBCLICK = 13003,
  EVT_TV_SELCHANGING = 14000,
  EVT_TV_SELCHANGED = 14001,
  EVT_TC_SELCHANGING = 15000,
  EVT_TC_SELCHANGED = 15001,
  EVT_TC_EXPAND = 15002,
  EVT_TC_CHECKSTATE = 15003,
  EVT_TC_DBCLICK = 15004,
  EVT_LV_SELCHANGING = 15100,
  EVT_LV_SELCHANGED = 15101,
  EVT_RE_NOTIFY = 16000,
  EVT_RE_MENU = 16001,
  EVT_SLIDER_POS = 17000,
  EVT_HEADER_CLICK = 18000,
  EVT_HEADER_ITEMCHANGING = 18001,
  EVT_HEADER_ITEMCHANGED = 18002,
  EVT_HEADER_ITEMSWAP = 18003,
  EVT_HEADER_RELAYOUT = 18004,
  EVT_CB_SELCHANGE = 19000,
  EVT_CB_DROPDOWN = 19001,
  EVT_CALENDAR_SELDAY = 20000,
  EVT_CALENDAR_SETDATE = 20001,
  EVT_CALENDAREX_CHANGED = 20002,
  EVT_DATETIME_CHANGED = 20003,
  EVT_SPIN_VALUE2STRING = 21000,
  EVT_SPLIT_PANE_MOVED = 22000,
  EVT_ANIMATE_START = 22100,
  EVT_ANIMATE_STOP = 22101,
  EVT_SELECTMENU = 22150,
  EVT_HOT_KEY_SET = 23000,
};

// The name of a registered event id; empty for an unknown id.
std::u16string_view EventNameOf(int id);

// The common part of every event. The sender's id and name are taken when the args
// are made; the sender is not referenced (args live for one firing).
class EventArgs : public TObjRefImpl<SObjectImpl<IObject>> {
 public:
  explicit EventArgs(SWindow* sender);

  bool MatchesTag(std::u16string_view name) const override { return name == TagName() || name == u"eventargs"; }
  std::u16string_view TagName() const override { return EventNameOf(EventId()); }
  int KindCode() const override { return -1; }
  int ObjectId() const override { return EventId(); }
  std::u16string ObjectName() const override { return std::u16string(EventNameOf(EventId())); }

  virtual int EventId() const = 0;

  SWindow* Sender() const { return sender_; }
  int SenderId() const { return sender_id_; }
  const std::u16string& SenderName() const { return sender_name_; }

  // While true, more handlers run and the event travels on.
  bool bubble_up = true;
  // How many handlers reported that they handled the event.
  UINT handled = 0;

 private:
  SWindow* sender_;
  int sender_id_;
  std::u16string sender_name_;
};

// An event class with a fixed id.
template <int Id>
class TplEventArgs : public EventArgs {
 public:
  static constexpr int kEventId = Id;
  explicit TplEventArgs(SWindow* sender) : EventArgs(sender) {}
  int EventId() const override { return Id; }
};

using EventInit = TplEventArgs<EVT_INIT>;
using EventExit = TplEventArgs<EVT_EXIT>;
using EventSetFocus = TplEventArgs<EVT_SETFOCUS>;
using EventKillFocus = TplEventArgs<EVT_KILLFOCUS>;
using EventSwndCreate = TplEventArgs<EVT_CREATE>;
using EventSwndDestroy = TplEventArgs<EVT_DESTROY>;
using EventSwndVisibleChanged = TplEventArgs<EVT_VISIBLECHANGED>;
using EventSwndMouseHover = TplEventArgs<EVT_MOUSE_HOVER>;
using EventSwndMouseLeave = TplEventArgs<EVT_MOUSE_LEAVE>;
using EventCmd = TplEventArgs<EVT_CMD>;
using EventKeyDown = TplEventArgs<EVT_KEYDOWN>;
using EventRENotify = TplEventArgs<EVT_RE_NOTIFY>;
using EventREMenu = TplEventArgs<EVT_RE_MENU>;
using EventAnimateStart = TplEventArgs<EVT_ANIMATE_START>;
using EventAnimateStop = TplEventArgs<EVT_ANIMATE_STOP>;

class EventTimer : public TplEventArgs<EVT_TIMER> {
 public:
  EventTimer(SWindow* sender, UINT_PTR id) : TplEventArgs(sender), timer_id(id) {}
  UINT_PTR timer_id;
};

class EventSwndSize : public TplEventArgs<EVT_SIZE> {
 public:
  EventSwndSize(SWindow* sender, SIZE size) : TplEventArgs(sender), new_size(size) {}
  SIZE new_size;
};

class EventSwndStateChanged : public TplEventArgs<EVT_STATECHANGED> {
 public:
  EventSwndStateChanged(SWindow* sender, DWORD before, DWORD after)
      : TplEventArgs(sender), old_state(before), new_state(after) {}
  bool CheckState(DWORD bits) const { return ((old_state ^ new_state) & bits) != 0; }
  DWORD old_state;
  DWORD new_state;
};

class EventLButtonDown : public TplEventArgs<EVT_LBUTTONDOWN> {
 public:
  EventLButtonDown(SWindow* sender, POINT pt) : TplEventArgs(sender), point(pt) {}
  POINT point;
};

class EventLButtonUp : public TplEventArgs<EVT_LBUTTONUP> {
 public:
  EventLButtonUp(SWindow* sender, POINT pt) : TplEventArgs(sender), point(pt) {}
  POINT point;
};

class EventSwndUpdateTooltip : public TplEventArgs<EVT_UPDATE_TOOLTIP> {
 public:
  explicit EventSwndUpdateTooltip(SWindow* sender) : TplEventArgs(sender) {}
  std::u16string tooltip;
  bool updated = false;
};

class EventCtxMenu : public TplEventArgs<EVT_CTXMENU> {
 public:
  EventCtxMenu(SWindow* sender, POINT pt) : TplEventArgs(sender), point(pt) {}
  POINT point;
  // Set by a handler that showed a menu of its own.
  bool cancel = false;
};

// Any event id without a class of its own (the widgets of the extended set).
class EventGeneric : public EventArgs {
 public:
  EventGeneric(SWindow* sender, int id) : EventArgs(sender), id_(id) {}
  int EventId() const override { return id_; }

 private:
  int id_;
};

}  // namespace LOOM
