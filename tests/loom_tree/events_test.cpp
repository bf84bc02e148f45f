// Events: handler order, claiming, bubbling to the owner or the host, muting.
#include "tree_fixture.h"

namespace LOOM {
namespace {

class EventsTest : public test::TreeFixture {};

struct Listener {
  bool OnCommand(EventArgs*) {
    ++calls;
    return true;
  }
  int calls = 0;
};

TEST_F(EventsTest, EveryElementDeclaresTheFourteenElementEventsInOrder) {
  SWindow e;
  EXPECT_EQ(e.EventTable().EventCount(), 14u);
  for (int id : {EVT_CREATE, EVT_DESTROY, EVT_SIZE, EVT_MOUSE_HOVER, EVT_MOUSE_LEAVE, EVT_STATECHANGED,
                 EVT_VISIBLECHANGED, EVT_UPDATE_TOOLTIP, EVT_LBUTTONDOWN, EVT_LBUTTONUP, EVT_CMD, EVT_CTXMENU,
                 EVT_SETFOCUS, EVT_KILLFOCUS})
    EXPECT_TRUE(e.EventTable().HasEvent(id)) << id;
  EXPECT_EQ(e.EventTable().FindByName(u"on_command")->Id(), EVT_CMD);
  EXPECT_EQ(EventNameOf(EVT_CTXMENU), u"on_conext_menu");
  EXPECT_EQ(EventNameOf(EVT_ANIMATE_STOP), u"EVT_ANI_STOP");
  EXPECT_TRUE(EventNameOf(12345).empty());
  EventCmd cmd(&e);
  EXPECT_EQ(cmd.TagName(), u"on_command");
  EXPECT_TRUE(cmd.MatchesTag(u"eventargs"));
  EXPECT_EQ(cmd.KindCode(), -1);
}

TEST_F(EventsTest, LaterHandlersRunFirstAndClaimingStopsTheRest) {
  auto& host = Build(uR"(<root><window name="b" pos="0,0,10,10"/></root>)");
  SWindow* b = Find(u"b");
  std::vector<int> order;
  b->SubscribeEvent(EVT_CMD, [&](EventArgs*) { return order.push_back(1), true; });
  b->SubscribeEvent(EVT_CMD, [&](EventArgs* a) {
    order.push_back(2);
    a->bubble_up = false;
    return true;
  });
  EXPECT_TRUE(b->FireCommand());
  EXPECT_EQ(order, (std::vector<int>{2}));
  EXPECT_TRUE(host.events.empty()) << "a claimed event never reaches the host";

  // Unclaimed, the event runs every handler and then reaches the host.
  Build(uR"(<root><window name="c" pos="0,0,10,10"/></root>)");
  SWindow* c = Find(u"c");
  int handled_by_host = 0;
  host_->on_event = [&](EventArgs* a) { return handled_by_host = static_cast<int>(a->handled), true; };
  c->SubscribeEvent(EVT_CMD, [&](EventArgs*) { return true; });
  c->SubscribeEvent(EVT_CMD, [&](EventArgs*) { return false; });
  EXPECT_TRUE(c->FireCommand());
  EXPECT_EQ(handled_by_host, 1);
  ASSERT_EQ(host_->events.size(), 1u);
  EXPECT_EQ(host_->events[0].sender_name, u"c");
}

TEST_F(EventsTest, MemberHandlersAreStoredOnceCallablesEveryTime) {
  SWindow e;
  Listener l;
  EXPECT_TRUE(e.SubscribeEvent(EVT_CMD, Subscriber(&Listener::OnCommand, &l)));
  EXPECT_FALSE(e.SubscribeEvent(EVT_CMD, Subscriber(&Listener::OnCommand, &l)));
  EXPECT_FALSE(e.SubscribeEvent(4242, Subscriber(&Listener::OnCommand, &l))) << "not an event of the element";
  int calls = 0;
  auto fn = [&](EventArgs*) { return ++calls, false; };
  EXPECT_TRUE(e.SubscribeEvent(EVT_CMD, fn));
  EXPECT_TRUE(e.SubscribeEvent(EVT_CMD, fn));
  e.FireCommand();
  EXPECT_EQ(l.calls, 1);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(e.UnsubscribeEvent(EVT_CMD, Subscriber(&Listener::OnCommand, &l)));
  e.FireCommand();
  EXPECT_EQ(l.calls, 1);
}

TEST_F(EventsTest, CommandsWithoutIdOrNameReachTheHost) {
  auto& host = Build(uR"(<root><window pos="0,0,10,10"/></root>)");
  host.FirstChild()->FireCommand();
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0].id, EVT_CMD);
  EXPECT_EQ(host.events[0].sender_id, 0);
  EXPECT_TRUE(host.events[0].sender_name.empty());
}

TEST_F(EventsTest, EventsBubbleToTheOwnerNotThroughParents) {
  auto& host = Build(uR"(<root><window name="parent" pos="0,0,50,50"><window name="kid" pos="0,0,10,10"/></window>
                         <window name="owner" pos="60,0,70,10"/></root>)");
  int parent_saw = 0, owner_saw = 0;
  Find(u"parent")->SubscribeEvent(EVT_CMD, [&](EventArgs*) { return ++parent_saw, false; });
  Find(u"owner")->SubscribeEvent(EVT_CMD, [&](EventArgs* a) {
    ++owner_saw;
    EXPECT_EQ(a->SenderName(), u"kid");
    return false;
  });
  SWindow* kid = Find(u"kid");
  kid->FireCommand();
  EXPECT_EQ(parent_saw, 0);
  EXPECT_EQ(host.events.size(), 1u);
  kid->SetOwner(Find(u"owner"));
  kid->FireCommand();
  EXPECT_EQ(owner_saw, 1);
  EXPECT_EQ(host.events.size(), 2u) << "the owner passes it on to the host";
}

TEST_F(EventsTest, UndeclaredEventsStillBubbleAndMutedSetsFireNothing) {
  auto& host = Build(uR"(<root><window name="e" pos="0,0,10,10"/></root>)");
  SWindow* e = Find(u"e");
  EventGeneric custom(e, EVT_TAB_SELCHANGED);
  e->RaiseEvent(custom);
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0].id, EVT_TAB_SELCHANGED);
  int calls = 0;
  e->SubscribeEvent(EVT_CMD, [&](EventArgs*) { return ++calls, true; });
  e->EventTable().Silence(true);
  EXPECT_FALSE(e->FireCommand());
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(host.events.size(), 1u);
  e->EventTable().Silence(false);
  e->FireCommand();
  EXPECT_EQ(calls, 1);
}

TEST_F(EventsTest, HandlersMayDeleteTheSenderOrThemselves) {
  auto& host = Build(uR"(<root><window name="doomed" pos="0,0,10,10"/><window name="other" pos="20,0,30,10"/></root>)");
  SWindow* doomed = Find(u"doomed");
  SWND handle = doomed->Handle();
  bool later_ran = false;
  doomed->SubscribeEvent(EVT_CMD, [&](EventArgs*) { return later_ran = true, false; });
  doomed->SubscribeEvent(EVT_CMD, [&](EventArgs* a) {
    host.DeleteChild(a->Sender());
    return false;
  });
  doomed->FireCommand();
  EXPECT_TRUE(later_ran);
  EXPECT_EQ(ElementForHandle(handle), nullptr);
  ASSERT_EQ(host.events.size(), 2u);
  EXPECT_EQ(host.events[0].id, EVT_DESTROY);
  EXPECT_EQ(host.events[1].id, EVT_CMD) << "the command still reaches the host";

  // A handler that unsubscribes itself while it runs.
  SWindow* other = Find(u"other");
  int runs = 0;
  auto once = std::make_shared<std::function<bool(EventArgs*)>>();
  *once = [&, other](EventArgs*) {
    ++runs;
    other->EventTable().ForgetEvent(EVT_CMD);
    return false;
  };
  other->SubscribeEvent(EVT_CMD, [once](EventArgs* a) { return (*once)(a); });
  other->FireCommand();
  other->FireCommand();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace LOOM
