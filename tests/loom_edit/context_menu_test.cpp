// The edit box's context menu: items from the system edit menu, greyed as the box is,
// the chosen item raised as "on_richedit_menu" and carried out unless a handler did.
// The menu's own window is exercised in the hosted tests; here a box answers with a
// scripted choice.
#include "core/menu_popup.h"
#include "platform/ui/clipboard.h"
#include "tests/loom_edit/edit_fixture.h"

namespace LOOM {
namespace {

using test::EditFixture;

// An edit whose context menu "opens" by recording its items and answering `choice`.
class ScriptedMenuEdit : public SEdit {
  LOOM_CLASS_TAG(ScriptedMenuEdit, SEdit, u"menuedit", u"edit", ObjectKind::Window)

 public:
  UINT choice = 0;
  int opened = 0;
  std::vector<SMenuItem> items;

 protected:
  UINT TrackContextMenu(SMenuPopup& menu, POINT) override {
    ++opened;
    items = menu.Items();
    return choice;
  }
};

class ContextMenuTest : public EditFixture {
 protected:
  ContextMenuTest() { app_.Register<ScriptedMenuEdit>(); }
  ScriptedMenuEdit* Box(std::u16string_view attributes) {
    return dynamic_cast<ScriptedMenuEdit*>(BuildEdit(attributes, u"menuedit"));
  }
  void RightClick() {
    host_->Mouse(WM_RBUTTONDOWN, 50, 30, MK_RBUTTON);
    host_->Mouse(WM_RBUTTONUP, 50, 30);
  }
  static bool Enabled(const ScriptedMenuEdit* e, UINT id) {
    for (const SMenuItem& item : e->items)
      if (item.id == id && !item.separator) return !item.disabled;
    ADD_FAILURE() << "no item " << id;
    return false;
  }
};

TEST_F(ContextMenuTest, TheMenuHasTheEditMenusItems) {
  ScriptedMenuEdit* e = Box(u"");
  RightClick();
  ASSERT_EQ(e->opened, 1);
  ASSERT_EQ(e->items.size(), 6u);
  EXPECT_EQ(e->items[0].id, 1u);
  EXPECT_EQ(e->items[0].text, u"cut");
  EXPECT_EQ(e->items[0].icon, 3);
  EXPECT_TRUE(e->items[4].separator);
  EXPECT_EQ(e->items[5].id, 5u);
  EXPECT_EQ(e->items[5].text, u"select all");
  EXPECT_TRUE(e->IsFocused()) << "the box takes the focus first";
}

TEST_F(ContextMenuTest, AnEmptyBoxGreysEverythingButPaste) {
  ASSERT_TRUE(platform::SetClipboardText(u"clip"));
  ScriptedMenuEdit* e = Box(u"autoSel=\"0\"");
  RightClick();
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuCut));
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuCopy));
  EXPECT_TRUE(Enabled(e, SRichEdit::kMenuPaste));
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuDelete));
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuSelectAll));
}

TEST_F(ContextMenuTest, AReadOnlyBoxOffersOnlyCopyWithASelectionAndSelectAll) {
  ASSERT_TRUE(platform::SetClipboardText(u"clip"));
  ScriptedMenuEdit* e = Box(u"autoSel=\"0\" multiLines=\"1\"");
  e->SetWindowText(u"status line\r\n");
  e->SetReadOnly(true);
  host_->FocusElement(e->Handle());
  Send(e, EM_SETSEL, 0, 6);
  RightClick();
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuCut));
  EXPECT_TRUE(Enabled(e, SRichEdit::kMenuCopy));
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuPaste));
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuDelete));
  EXPECT_TRUE(Enabled(e, SRichEdit::kMenuSelectAll));
  // Without a selection copy greys too.
  Send(e, EM_SETSEL, 3, 3);
  RightClick();
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuCopy));
  EXPECT_TRUE(Enabled(e, SRichEdit::kMenuSelectAll));
}

TEST_F(ContextMenuTest, ChosenItemsAreCarriedOut) {
  ScriptedMenuEdit* e = Box(u"autoSel=\"0\"");
  e->SetWindowText(u"hello world");
  host_->FocusElement(e->Handle());
  e->choice = SRichEdit::kMenuSelectAll;
  RightClick();
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{0, 11}));
  Send(e, EM_SETSEL, 0, 6);
  e->choice = SRichEdit::kMenuCut;
  RightClick();
  EXPECT_EQ(e->GetWindowText(), u"world");
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"hello "));
  Send(e, EM_SETSEL, 5, 5);
  e->choice = SRichEdit::kMenuPaste;
  RightClick();
  EXPECT_EQ(e->GetWindowText(), u"worldhello ");
  Send(e, EM_SETSEL, 0, 5);
  e->choice = SRichEdit::kMenuDelete;
  RightClick();
  EXPECT_EQ(e->GetWindowText(), u"hello ");
  EXPECT_EQ(Send(e, EM_CANUNDO), 0) << "delete replaces without undo";
  Send(e, EM_SETSEL, 0, 5);
  e->choice = SRichEdit::kMenuCopy;
  RightClick();
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"hello"));
}

TEST_F(ContextMenuTest, HandlersSeeTheChoiceAndCanStopIt) {
  ScriptedMenuEdit* e = Box(u"autoSel=\"0\"");
  e->SetWindowText(u"keep");
  host_->FocusElement(e->Handle());
  Send(e, EM_SETSEL, 0, 4);
  UINT seen = 0;
  e->EventTable().Connect(EVT_RE_MENU, [&](EventArgs* args) {
    seen = static_cast<EventRichEditMenu*>(args)->item;
    return true;
  });
  e->choice = SRichEdit::kMenuDelete;
  RightClick();
  EXPECT_EQ(seen, static_cast<UINT>(SRichEdit::kMenuDelete));
  EXPECT_EQ(e->GetWindowText(), u"keep");
  // A context-menu handler stops the menu from opening at all.
  e->EventTable().Connect(EVT_CTXMENU, [](EventArgs* args) {
    static_cast<EventCtxMenu*>(args)->cancel = true;
    return true;
  });
  const int opened = e->opened;
  RightClick();
  EXPECT_EQ(e->opened, opened);
}

TEST_F(ContextMenuTest, APasswordBoxNeverHandsItsTextOut) {
  ScriptedMenuEdit* e = Box(u"autoSel=\"0\" password=\"1\"");
  e->SetWindowText(u"secret");
  host_->FocusElement(e->Handle());
  Send(e, EM_SETSEL, 0, 6);
  RightClick();
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuCut));
  EXPECT_FALSE(Enabled(e, SRichEdit::kMenuCopy));
  EXPECT_TRUE(Enabled(e, SRichEdit::kMenuDelete));
}

TEST_F(ContextMenuTest, MenuGeometryFollowsTheDefinition) {
  SMenuPopup menu;
  ASSERT_TRUE(menu.Load(app_.EditMenuMarkup().Child()));
  const SIZE size = menu.MenuSize();
  EXPECT_GT(size.cx, 0);
  const RECT first = menu.ItemRect(0);
  EXPECT_EQ(first.bottom - first.top, 26);
  EXPECT_EQ(menu.ItemAt(POINT{5, first.top + 3}), 0);
  const RECT sep = menu.ItemRect(4);
  EXPECT_EQ(menu.ItemAt(POINT{5, (sep.top + sep.bottom) / 2}), -1) << "a separator is not selectable";
  menu.EnableItem(2, false);
  EXPECT_FALSE(menu.IsItemEnabled(2));
  EXPECT_EQ(menu.ItemAt(POINT{5, menu.ItemRect(1).top + 3}), -1) << "nor is a greyed item";
  // Drawing puts something on every item row.
  IRenderTarget* raw = nullptr;
  ASSERT_TRUE(factory_->NewTarget(&raw, size.cx, size.cy));
  auto rt = SAutoRefPtr<IRenderTarget>::Adopt(raw);
  menu.Paint(rt.get());
  EXPECT_EQ(rt->PixelAt(1, 1) >> 24, 0xFFu) << "the menu is opaque";
}

}  // namespace
}  // namespace LOOM
