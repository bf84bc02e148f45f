// Element trees from markup: classes, attributes and their result codes, ids and names,
// style classes, text, state propagation, lookup, includes, templates, lifetime.
#include "core/named_id.h"
#include "core/swindow_mgr.h"
#include "core/ui_def.h"
#include "tree_fixture.h"

namespace LOOM {
namespace {

using test::RecorderElement;

class SuffixTranslator final : public TObjRefImpl<ITranslatorMgr> {
 public:
  bool Translate(std::u16string_view text, std::u16string_view context, std::u16string& out) override {
    out = std::u16string(text) + u"@" + std::u16string(context);
    return true;
  }
};

class TreeTest : public test::TreeFixture {
 protected:
  void SetUp() override {
    SNamedIdEntry entries[2];
    std::u16string_view names[2] = {u"btn_close", u"btn_stop"};
    int values[2] = {65536, 65541};
    for (int i = 0; i < 2; ++i) {
      std::copy(names[i].begin(), names[i].end(), entries[i].name);
      entries[i].value = values[i];
    }
    app_.SetNamedIdTable(entries, true);
  }
};

TEST_F(TreeTest, MarkupBuildsTheTreeInDocumentOrderAndSkipsUnknownTags) {
  auto& host = Build(uR"(<root>
      <window name="a"/>
      <nosuchtag name="x"><window name="lost"/></nosuchtag>
      <listbox name="b"><window name="b1"/></listbox>
      <window name="c"/>
    </root>)");
  ASSERT_EQ(host.ChildCount(), 3u);
  EXPECT_EQ(host.FirstChild()->Name(), u"a");
  EXPECT_EQ(host.FirstChild()->NextSibling()->Name(), u"b");
  EXPECT_EQ(host.LastChild()->Name(), u"c");
  EXPECT_EQ(Lookup(u"lost"), nullptr);
  EXPECT_TRUE(sink_->Saw(u"Warning: no object nosuchtag of type:1 in LOOM!!"));
  // A tag without a class of its own is an element that answers for its base classes.
  SWindow* b = Find(u"b");
  EXPECT_EQ(b->TagName(), u"listbox");
  EXPECT_TRUE(b->MatchesTag(u"listbox"));
  EXPECT_TRUE(b->MatchesTag(u"scrollview"));
  EXPECT_TRUE(b->MatchesTag(u"div"));
  EXPECT_TRUE(b->MatchesTag(u"window"));
  EXPECT_FALSE(b->MatchesTag(u"edit"));
  // A chain through a base that has no class of its own still ends at the element.
  auto combo = SAutoRefPtr<IObject>::Adopt(app_.NewElementByTag(u"combobox"));
  EXPECT_TRUE(combo->MatchesTag(u"combobase"));
  EXPECT_TRUE(combo->MatchesTag(u"window"));
  EXPECT_FALSE(combo->MatchesTag(u"button"));
  EXPECT_EQ(Find(u"b1")->GetParent(), b);
  EXPECT_EQ(b->RelatedElement(GSW_PARENT), &host);
  EXPECT_EQ(b->RelatedElement(GSW_PREVSIBLING)->Name(), u"a");
  EXPECT_EQ(b->RelatedElement(GSW_NEXTSIBLING)->Name(), u"c");
  EXPECT_EQ(b->RelatedElement(GSW_FIRSTCHILD), b->RelatedElement(GSW_LASTCHILD));
  EXPECT_EQ(b->RelatedElement(GSW_OWNER), nullptr);
}

TEST_F(TreeTest, IdsComeFromNamesUnlessGivenAndDialogNamesAreKnown) {
  Build(uR"(<root>
      <window name="btn_close"/>
      <window name="btn_stop" id="12"/>
      <window id="13" name="btn_close"/>
      <window name="unlisted"/>
      <window name="ok" id="idok"/>
      <window name="help" id="IDHELP"/>
      <window name="bogus" id="IDWHATEVER"/>
      <window name="empty" id=""/>
    </root>)");
  auto id_of = [&](int index) {
    SWindow* e = host_->FirstChild();
    for (int i = 0; i < index; ++i) e = e->NextSibling();
    return e->Id();
  };
  EXPECT_EQ(id_of(0), 65536);
  EXPECT_EQ(id_of(1), 12);
  EXPECT_EQ(id_of(2), 13);
  EXPECT_EQ(id_of(3), 0);
  EXPECT_EQ(id_of(4), 1);
  EXPECT_EQ(id_of(5), 9);
  EXPECT_EQ(id_of(6), 0);
  EXPECT_EQ(id_of(7), 0);
  EXPECT_EQ(host_->ChildWithId(65536)->Name(), u"btn_close");
  EXPECT_EQ(host_->ChildWithId(0), nullptr);
}

TEST_F(TreeTest, AttributeResultCodesAndWhatTheyRefresh) {
  auto& host = Build(uR"(<root><window name="parent" pos="0,0,-0,-0"><window name="e" pos="10,10" size="50,20"/></window></root>)");
  SWindow* e = Find(u"e");
  SWindow* parent = Find(u"parent");
  host.Repaint();
  host.invalidated.clear();

  EXPECT_EQ(e->ApplyAttribute(u"name", u"e", false), S_FALSE);
  EXPECT_EQ(e->ApplyAttribute(u"data", u"0x10", false), S_FALSE);
  EXPECT_EQ(e->UserData(), 0x10u);
  EXPECT_EQ(e->ApplyAttribute(u"visible", u"1", false), S_FALSE);
  host.invalidated.clear();
  EXPECT_EQ(e->ApplyAttribute(u"drawFocusRect", u"0", false), S_OK);
  EXPECT_EQ(e->ApplyAttribute(u"no-such-attribute", u"1", false), E_FAIL);
  EXPECT_EQ(e->ApplyAttribute(u"layout", u"nosuchlayout", false), E_INVALIDARG);
  EXPECT_TRUE(host.invalidated.size() == 1) << "only drawFocusRect asks for a repaint";
  host.invalidated.clear();

  // Style attributes carry 0x10000; a refused value fails and refreshes nothing.
  EXPECT_EQ(e->ApplyAttribute(u"align", u"middle", false), E_FAIL | kStyleAttrBit);
  EXPECT_TRUE(host.invalidated.empty());
  EXPECT_EQ(e->ApplyAttribute(u"colorBkgnd", u"", false), E_FAIL | kStyleAttrBit);
  EXPECT_EQ(e->ApplyAttribute(u"colorBkgnd", u"#00ff00", false), kStyleAttrBit);
  ASSERT_EQ(host.invalidated.size(), 1u);
  EXPECT_EQ(host.invalidated[0], (RECT{10, 10, 60, 30}));
  EXPECT_EQ(e->ApplyAttribute(u"cursor", u"hand", false), S_FALSE | kStyleAttrBit);

  // Layout-parameter attributes carry 0x40000 and make the parent lay out again.
  host.invalidated.clear();
  EXPECT_EQ(parent->LayoutDirtyMark(), kLayoutClean);
  EXPECT_EQ(e->ApplyAttribute(u"pos", u"20,10", false), kLayoutParamAttrBit);
  EXPECT_TRUE(host.invalidated.empty());
  EXPECT_EQ(parent->LayoutDirtyMark(), kLayoutDirty);
  EXPECT_NE(host.LayoutDirtyMark(), kLayoutClean);
  host.LayoutIfDirty();
  EXPECT_EQ(e->ElementArea(), (RECT{20, 10, 70, 30}));
  EXPECT_EQ(e->ApplyAttribute(u"pos", u"1,2,3", false), E_INVALIDARG);
  EXPECT_EQ(e->ApplyAttribute(u"size", u"1", false), E_FAIL | kLayoutParamAttrBit);

  // Margin moves the children area: the element lays its children out again.
  host.LayoutIfDirty();
  EXPECT_EQ(parent->ApplyAttribute(u"margin", u"5", false), kStyleAttrBit);
  EXPECT_EQ(parent->LayoutDirtyMark(), kLayoutDirty);
  host.LayoutIfDirty();
  EXPECT_EQ(e->ElementArea(), (RECT{25, 15, 75, 35}));
  EXPECT_EQ(parent->ApplyAttribute(u"margin", u"5", true), S_FALSE | kStyleAttrBit);
}

TEST_F(TreeTest, StyleClassAppliesLayoutFirstAndSkipsItsOwnClass) {
  Build(uR"(<root><window name="boxed" class="boxed" pos="0,0,100,100">
      <window name="k1" size="10,10"/><window name="k2" size="10,10"/></window>
      <window name="none" class="nosuchclass"/></root>)");
  SWindow* boxed = Find(u"boxed");
  EXPECT_EQ(boxed->Layout()->TagName(), u"vbox");
  EXPECT_EQ(boxed->UserData(), 42u);
  EXPECT_EQ(boxed->Style().background_color, RGBA(0, 0, 255, 255));
  // The interval of the style reached the vertical box.
  EXPECT_EQ(RectOf(u"k2").top, 13);
  EXPECT_EQ(Find(u"none")->Style().background_color, kNoColor);
}

TEST_F(TreeTest, TextComesFromTheInnerTextTrimmedAndResolved) {
  Build(uR"(<root>
      <window name="a" text="attribute">
        inner text
      </window>
      <window name="b" text="@string/greeting"/>
      <window name="c">@string/greeting</window>
      <window name="d" text="kept"><![CDATA[  ]]></window>
    </root>)");
  EXPECT_EQ(Find(u"a")->GetElementText(), u"inner text");
  EXPECT_EQ(Find(u"b")->GetElementText(), u"hello");
  EXPECT_EQ(Find(u"c")->GetElementText(), u"hello");
  EXPECT_EQ(Find(u"d")->GetElementText(), u"kept");
}

TEST_F(TreeTest, TextIsTranslatedInTheElementsOrTheHostsContext) {
  app_.SetTranslator(SAutoRefPtr<ITranslatorMgr>::Adopt(new SuffixTranslator()).get());
  auto host = SAutoRefPtr<test::TestContainer>::Adopt(new test::TestContainer());
  host->host_tr_ctx = u"main";
  SXmlDoc doc;
  ASSERT_TRUE(doc.LoadText(uR"(<root><window name="own" trCtx="dlg" tip="t">hi</window><window name="hosted">hi</window></root>)"));
  host->LoadFromMarkup(doc.Child());
  SWindow* own = host->ChildWithName(u"own");
  EXPECT_EQ(own->GetElementText(), u"hi@dlg");
  EXPECT_EQ(own->GetElementText(true), u"hi");
  EXPECT_EQ(own->GetTipText(), u"t@dlg");
  EXPECT_EQ(host->ChildWithName(u"hosted")->GetElementText(), u"hi@main");
  own->ApplyAttribute(u"trCtx", u"other", false);
  EXPECT_EQ(own->GetElementText(), u"hi@other");
  host->SendElementMessage(WM_DESTROY);
}

TEST_F(TreeTest, LanguageAndScaleChangesReachTheWholeTree) {
  auto& host = Build(uR"(<root><window name="w" pos="0,0" valign="top">hi<window name="inner" margin="10dp" tip="t"/></window></root>)");
  SWindow *w = Find(u"w"), *inner = Find(u"inner");
  EXPECT_EQ(inner->MarginPixels().left, 10);
  app_.SetTranslator(SAutoRefPtr<ITranslatorMgr>::Adopt(new SuffixTranslator()).get());
  host.SendElementMessage(UM_SETLANGUAGE);
  EXPECT_EQ(w->GetElementText(), u"hi@");
  EXPECT_EQ(inner->GetTipText(), u"t@");
  EXPECT_NE(host.LayoutDirtyMark(), kLayoutClean) << "a wrapping element may change size";
  host.SendElementMessage(UM_SETSCALE, 150);
  EXPECT_EQ(inner->MarginPixels().left, 15);
  EXPECT_EQ(inner->Style().Scale(), 150);
}

TEST_F(TreeTest, HidingAParentHidesEveryDescendantAndShowingKeepsOwnRequests) {
  auto& host = Build(uR"(<root><window name="p" pos="0,0,100,100">
      <window name="c1" pos="0,0,10,10"><window name="g" pos="0,0,5,5"/></window>
      <window name="c2" visible="0" pos="0,0,10,10"/>
    </window></root>)");
  SWindow *p = Find(u"p"), *c1 = Find(u"c1"), *c2 = Find(u"c2"), *g = Find(u"g");
  EXPECT_TRUE(c1->IsShown());
  EXPECT_FALSE(c2->IsShown());
  p->ShowElement(false);
  for (SWindow* e : {p, c1, c2, g}) EXPECT_TRUE(e->State() & WndState_Invisible);
  EXPECT_TRUE(c1->IsShown(false)) << "its own request stays";
  p->ShowElement(true);
  EXPECT_TRUE(c1->IsShown());
  EXPECT_TRUE(g->IsShown());
  EXPECT_FALSE(c2->IsShown());
  // A child shown while its parent is hidden stays invisible until the parent shows.
  p->ShowElement(false);
  c2->ShowElement(true);
  EXPECT_FALSE(c2->IsShown());
  p->ShowElement(true);
  EXPECT_TRUE(c2->IsShown());
  // Each visibility change was announced.
  int changes = 0;
  c1->SubscribeEvent(EVT_VISIBLECHANGED, [&](EventArgs*) { return ++changes, true; });
  p->ShowElement(false);
  EXPECT_EQ(changes, 1);
  (void)host;
}

TEST_F(TreeTest, DisablingFollowsTheParentButKeepsOwnRequests) {
  Build(uR"(<root><window name="p" pos="0,0,100,100">
      <window name="self" enable="0" pos="0,0,10,10"/>
      <window name="code" pos="10,0,20,10"/>
      <window name="free" pos="20,0,30,10"/>
    </window></root>)");
  SWindow *p = Find(u"p"), *self = Find(u"self"), *code = Find(u"code"), *free = Find(u"free");
  EXPECT_TRUE(self->HasDisabledState());
  EXPECT_FALSE(code->HasDisabledState());
  self->ChangeState(WndState_Hover, 0);
  self->SendElementMessage(WM_ENABLE, 0, kReasonParent);
  EXPECT_FALSE(self->State() & WndState_Hover) << "disabling clears hover";

  code->EnableElement(false);
  p->EnableElement(false);
  for (SWindow* e : {self, code, free}) EXPECT_TRUE(e->HasDisabledState());
  p->EnableElement(true);
  EXPECT_FALSE(free->HasDisabledState());
  EXPECT_TRUE(code->HasDisabledState()) << "disabled by its own EnableElement";
  EXPECT_TRUE(self->HasDisabledState()) << "disabled by its own markup";
  // An element added to a disabled parent is disabled too.
  p->EnableElement(false);
  auto late = SAutoRefPtr<SWindow>::Adopt(new SWindow());
  p->AttachChild(late.get());
  EXPECT_TRUE(late->HasDisabledState());
}

TEST_F(TreeTest, StateChangesFireTheStateEventWithOldAndNewState) {
  Build(uR"(<root><window name="e" pos="0,0,10,10"/></root>)");
  SWindow* e = Find(u"e");
  std::vector<std::pair<DWORD, DWORD>> seen;
  e->SubscribeEvent(EVT_STATECHANGED, [&](EventArgs* a) {
    auto* s = static_cast<EventSwndStateChanged*>(a);
    seen.emplace_back(s->old_state, s->new_state);
    return false;
  });
  EXPECT_EQ(e->ChangeState(WndState_Check | WndState_Hover, 0), 0u);
  EXPECT_EQ(e->ChangeState(WndState_PushDown, WndState_Hover), WndState_Check | WndState_Hover);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (std::pair<DWORD, DWORD>{0u, WndState_Check | WndState_Hover}));
  EXPECT_EQ(seen[1], (std::pair<DWORD, DWORD>{WndState_Check | WndState_Hover, WndState_Check | WndState_PushDown}));
  EXPECT_EQ(PaintStateIndex(e->State()), 2);
}

TEST_F(TreeTest, LookupByNameRespectsDepthAndTheFinderCacheStaysTruthful) {
  auto& host = Build(uR"(<root><caption name="cap"><window name="btn_close"/></caption><window name="twin"/></root>)");
  EXPECT_EQ(host.ChildWithName(u"btn_close", 1), nullptr);
  SWindow* close = host.ChildWithName(u"btn_close", -1);
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(host.ChildWithName(u"btn_close", 2), close);
  EXPECT_EQ(host.ChildWithName(u"btn_close", 0), nullptr);
  EXPECT_EQ(host.ChildWithName(u"", -1), nullptr);
  EXPECT_EQ(host.ChildWithName(u"BTN_CLOSE", -1), nullptr) << "names are case-sensitive";

  // A cached answer is dropped when the element is renamed or deleted.
  close->SetName(u"renamed");
  EXPECT_EQ(host.ChildWithName(u"btn_close"), nullptr);
  EXPECT_EQ(host.ChildWithName(u"renamed"), close);
  SWND gone = close->Handle();
  Find(u"cap")->DeleteChild(close);
  EXPECT_EQ(ElementForHandle(gone), nullptr);
  EXPECT_EQ(host.ChildWithName(u"renamed"), nullptr);
}

TEST_F(TreeTest, FindChildByName2ChecksTheClassAndWarns) {
  auto& host = Build(uR"(<root><caption><imgbtn name="btn_close"/></caption><edit name="dir"/></root>)");
  SWindow* btn = host.FindChildByName2(u"button", u"btn_close");
  ASSERT_NE(btn, nullptr);
  EXPECT_EQ(btn->TagName(), u"imgbtn");
  EXPECT_TRUE(sink_->lines.empty());
  EXPECT_EQ(host.FindChildByName2(u"progress", u"dir", 3), nullptr);
  ASSERT_EQ(sink_->lines.size(), 1u);
  EXPECT_EQ(sink_->lines[0],
            u"FindChildByName2 Failed, no window of class [progress] with name of [dir] was found within [3] levels");
  EXPECT_EQ(sink_->line_numbers[0], 526);
  EXPECT_EQ(host.FindChildByID2(u"window", 4242), nullptr);
  EXPECT_EQ(sink_->lines.back(),
            u"FindChildByID2 Failed, no window of class [window] with id of [4242] was found within [-1] levels");
}

TEST_F(TreeTest, HandlesAreNeverReusedAndDieWithTheirElements) {
  auto& host = Build(uR"(<root><window name="a"/><window name="b"/></root>)");
  SWindow* a = Find(u"a");
  SWND ha = a->Handle(), hb = Find(u"b")->Handle();
  EXPECT_NE(ha, 0u);
  EXPECT_GT(hb, ha);
  EXPECT_EQ(ElementForHandle(ha), a);
  host.DeleteChild(a);
  EXPECT_EQ(ElementForHandle(ha), nullptr);
  auto fresh = SAutoRefPtr<SWindow>::Adopt(new SWindow());
  EXPECT_GT(fresh->Handle(), hb);
}

TEST_F(TreeTest, DestructionRaisesDestroyParentFirstAndReleasesTheSubtree) {
  auto& host = Build(uR"(<root><window name="p"><window name="c1"><window name="g"/></window><window name="c2"/></window></root>)");
  std::vector<std::u16string> order;
  for (const char16_t* n : {u"p", u"c1", u"g", u"c2"})
    Find(n)->SubscribeEvent(EVT_DESTROY, [&order, n](EventArgs*) { return order.emplace_back(n), false; });
  SWND g = Find(u"g")->Handle();
  host.DeleteChild(Find(u"p"));
  EXPECT_EQ(order, (std::vector<std::u16string>{u"p", u"c1", u"g", u"c2"}));
  EXPECT_EQ(ElementForHandle(g), nullptr);
  EXPECT_EQ(host.ChildCount(), 0u);
}

TEST_F(TreeTest, AnElementThatRefusesCreationIsRemovedAgain) {
  auto& host = Build(uR"(<root><window name="a"/><refuser name="r"><window name="inner"/></refuser><window name="b"/></root>)");
  EXPECT_EQ(host.ChildCount(), 2u);
  EXPECT_EQ(Lookup(u"r"), nullptr);
  EXPECT_EQ(Lookup(u"inner"), nullptr);
}

TEST_F(TreeTest, IncludeReadsLayoutsAndCopiesItsAttributes) {
  Build(uR"(<root>
      <include src="inc_button" data="9" extra="1"/>
      <include src="layout:inc_group"/>
      <include src="layout:nosuchlayout"/>
      <include src="LAYOUT:INC_MULTI"/>
    </root>)");
  SWindow* inc = Find(u"included");
  ASSERT_NE(inc, nullptr) << "a source without a colon is read from type LAYOUT";
  EXPECT_EQ(inc->UserData(), 9u) << "the include's own attributes replace the included ones";
  EXPECT_EQ(inc->ElementArea(), (RECT{1, 2, 31, 22}));
  EXPECT_NE(Lookup(u"grouped_1"), nullptr);
  EXPECT_EQ(Find(u"grouped_2")->GetParent(), host_.get()) << "an included include adds its children here";
  EXPECT_NE(Lookup(u"first_root"), nullptr);
  EXPECT_EQ(Lookup(u"second_root"), nullptr);
  EXPECT_TRUE(sink_->Saw(u"warning! multi root include layout is not supported!"));
  EXPECT_EQ(host_->ChildCount(), 4u);
}

TEST_F(TreeTest, IncludesThatIncludeThemselvesStop) {
  Build(uR"(<root><include src="inc_self"/><include src="inc_loop_a"/></root>)");
  EXPECT_NE(Lookup(u"self_top"), nullptr);
  EXPECT_EQ(Find(u"self_top")->ChildCount(), 0u);
  EXPECT_NE(Lookup(u"loop_a"), nullptr);
  EXPECT_NE(Lookup(u"loop_b"), nullptr);
  EXPECT_TRUE(sink_->Saw(u"inside itself is not loaded"));
}

TEST_F(TreeTest, TemplatesFillTheirPlaceholdersFromData) {
  Build(uR"(<root><t:cell size="20,20"><data name="made" x="15"/></t:cell><t:nosuchtemplate/></root>)");
  SWindow* made = Find(u"made");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->ElementArea(), (RECT{15, 0, 35, 20})) << "the template element's attributes win";
  EXPECT_EQ(made->GetTipText(), u"{{missing}}");
  EXPECT_EQ(host_->ChildCount(), 1u);
}

TEST_F(TreeTest, DeepNestingLoadsWhatItCanAndWarns) {
  std::u16string markup = u"<root>";
  for (int i = 0; i < 3000; ++i) markup += u"<window>";
  for (int i = 0; i < 3000; ++i) markup += u"</window>";
  markup += u"</root>";
  auto& host = Build(markup);
  int depth = 0;
  for (SWindow* e = host.FirstChild(); e; e = e->FirstChild()) ++depth;
  EXPECT_EQ(depth, kMaxMarkupDepth);
  EXPECT_TRUE(sink_->Saw(u"nested deeper than"));
  host.Repaint();
}

TEST_F(TreeTest, ContentChangesOfWrappingElementsAskForLayout) {
  auto& host = Build(uR"(<root><window name="w" pos="0,0" valign="top"/><window name="fixed" pos="0,50" size="40,20"/></root>)");
  SWindow* w = Find(u"w");
  EXPECT_EQ(RectWidth(w->ElementArea()), 0);
  w->SetElementText(u"some words");
  EXPECT_NE(host.LayoutDirtyMark(), kLayoutClean);
  host.LayoutIfDirty();
  EXPECT_GT(RectWidth(w->ElementArea()), 20);
  EXPECT_GT(RectHeight(w->ElementArea()), 5);
  Find(u"fixed")->SetElementText(u"text");
  EXPECT_EQ(host.LayoutDirtyMark(), kLayoutClean) << "a fixed-size element only repaints";
}

TEST_F(TreeTest, ReparentingMovesTheChildAndRefusesCycles) {
  auto& host = Build(uR"(<root><window name="a"><window name="a1"/></window><window name="b"/></root>)");
  SWindow *a = Find(u"a"), *b = Find(u"b"), *a1 = Find(u"a1");
  b->AttachChild(a1);
  EXPECT_EQ(a1->GetParent(), b);
  EXPECT_EQ(a->ChildCount(), 0u);
  a1->AttachChild(b);  // b is an ancestor of a1: refused
  EXPECT_EQ(b->GetParent(), &host);
  host.AttachChild(b, ICWND_FIRST);
  EXPECT_EQ(host.FirstChild(), a) << "already a child: nothing happens";
  auto n = SAutoRefPtr<SWindow>::Adopt(new SWindow());
  host.AttachChild(n.get(), ICWND_FIRST);
  EXPECT_EQ(host.FirstChild(), n.get());
  auto m = SAutoRefPtr<SWindow>::Adopt(new SWindow());
  host.AttachChild(m.get(), n.get());
  EXPECT_EQ(n->NextSibling(), m.get());
  EXPECT_EQ(host.ChildCount(), 4u);
}

}  // namespace
}  // namespace LOOM
