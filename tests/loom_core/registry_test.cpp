// The application object's registry of tags, named ids and the warning line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/application.h"
#include "core/generic_object.h"
#include "core/render.h"
#include "core/xml.h"
#include "platform/ui/message_queue.h"
#include "platform/base/utf.h"

namespace LOOM {
namespace {

class RecordingSink final : public TObjRefImpl<ILogSink> {
 public:
  void Write(std::u16string_view, std::u16string_view message, const char* source, int line, const char*) override {
    lines.emplace_back(message);
    last_source = source;
    last_line = line;
  }
  std::vector<std::u16string> lines;
  std::string last_source;
  int last_line = 0;
};

// A window class that records the attributes it is given.
class RecordingButton final : public TObjRefImpl<SObjectImpl<IObject>> {
  LOOM_CLASS_TAG(RecordingButton, SObjectImpl<IObject>, u"button", u"window", ObjectKind::Window)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override {
    applied.emplace_back(std::u16string(name) + u"=" + std::u16string(value) + (loading ? u"" : u"!"));
    return S_OK;
  }
  std::vector<std::u16string> applied;
};

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest()
      : factory_(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    sink_ = SAutoRefPtr<RecordingSink>::Adopt(new RecordingSink());
    app_.SetLogSink(sink_.get());
  }
  SObjectDefaultRegister reg_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<RecordingSink> sink_;
};

std::vector<std::u16string> BaseChain(const SApplication& app, std::u16string_view tag, int kind) {
  std::vector<std::u16string> chain;
  SObjectInfo key(tag, kind);
  for (int i = 0; i < 10; ++i) {
    key = app.BaseRegistryKey(key);
    chain.push_back(key.Name() + u"/" + std::u16string(1, static_cast<char16_t>(u'0' + (key.Kind() + 1))));
    if (key.IsEmpty()) break;
  }
  return chain;
}

TEST_F(RegistryTest, EveryTagOfTheFourTablesIsRegisteredWithItsKind) {
  EXPECT_EQ(app_.FactoryCount(), 5u + 10u + 46u + 9u);
  for (auto tag : {u"LoomLayout", u"linearLayout", u"hbox", u"vbox", u"gridLayout"})
    EXPECT_TRUE(app_.HasFactory(SObjectInfo(tag, ObjectKind::Layout))) << platform::Utf16ToUtf8(tag);
  for (auto tag : {u"imglist", u"imgCenter", u"imgframe", u"imgframe2", u"button", u"gradation", u"scrollbar",
                   u"colorrect", u"shape", u"group"})
    EXPECT_TRUE(app_.HasFactory(SObjectInfo(tag, ObjectKind::Skin)));
  for (auto tag : {u"window", u"imgbtn", u"edit", u"dateTimePicker", u"splitrow", u"sliderbar", u"comboview"})
    EXPECT_TRUE(app_.HasFactory(SObjectInfo(tag, ObjectKind::Window)));
  for (auto tag : {u"Linear", u"Bounce", u"Overshoot"})
    EXPECT_TRUE(app_.HasFactory(SObjectInfo(tag, ObjectKind::Interpolator)));
  // Base names only: nothing is registered under them.
  EXPECT_FALSE(app_.HasFactory(SObjectInfo(u"combobase", ObjectKind::Window)));
  EXPECT_FALSE(app_.HasFactory(SObjectInfo(u"object", ObjectKind::Window)));
}

TEST_F(RegistryTest, BaseChainsFollowTheTables) {
  EXPECT_EQ(BaseChain(app_, u"edit", 1),
            (std::vector<std::u16string>{u"richedit/2", u"div/2", u"window/2", u"object/2", u"/0"}));
  EXPECT_EQ(BaseChain(app_, u"IMGBTN", 1), (std::vector<std::u16string>{u"button/2", u"window/2", u"object/2", u"/0"}));
  EXPECT_EQ(BaseChain(app_, u"imgframe2", 2),
            (std::vector<std::u16string>{u"imgframe/3", u"imglist/3", u"skinobjbase/3", u"/0"}));
  EXPECT_EQ(BaseChain(app_, u"hbox", 3), (std::vector<std::u16string>{u"linearlayout/4", u"object/4", u"/0"}));
  EXPECT_EQ(app_.BaseRegistryKey(SObjectInfo(u"Bounce", 4)).Name(), u"interpolator_base");
  EXPECT_TRUE(app_.BaseRegistryKey(SObjectInfo(u"nosuchtag", 1)).IsEmpty());
}

TEST_F(RegistryTest, KindChoosesBetweenTagsSharedAcrossTables) {
  for (auto tag : {u"button", u"group", u"scrollbar"}) {
    SAutoRefPtr<IObject> window = SAutoRefPtr<IObject>::Adopt(app_.CreateObject(SObjectInfo(tag, 1)));
    SAutoRefPtr<IObject> skin = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(tag));
    ASSERT_TRUE(window && skin);
    EXPECT_EQ(window->KindCode(), 1);
    EXPECT_EQ(skin->KindCode(), 2);
  }
}

TEST_F(RegistryTest, CreatingAWindowTagAsASkinFailsWithTheWarning) {
  EXPECT_EQ(app_.CreateObject(SObjectInfo(u"imgbtn", ObjectKind::Skin)), nullptr);
  ASSERT_EQ(sink_->lines.size(), 1u);
  EXPECT_EQ(sink_->lines[0], u"Warning: no object imgbtn of type:2 in LOOM!!");
  EXPECT_EQ(sink_->last_source, "src\\core\\SObjectFactory");
  EXPECT_EQ(sink_->last_line, 61);
}

TEST_F(RegistryTest, WarningLineGoesToStandardErrorWithoutASink) {
  app_.SetLogSink(nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(app_.NewInterpolatorByTag(u"Wobble"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning: no object wobble of type:4 in LOOM!! LOOM::SObjectFactoryMgr::CreateObject "
            "src\\core\\SObjectFactory:61\n");
}

TEST_F(RegistryTest, GenericClassesAnswerForTheirWholeBaseChain) {
  SAutoRefPtr<IObject> btn = SAutoRefPtr<IObject>::Adopt(app_.NewElementByTag(u"imgbtn"));
  ASSERT_TRUE(btn);
  EXPECT_EQ(btn->TagName(), u"imgbtn");
  EXPECT_TRUE(btn->MatchesTag(u"imgbtn"));
  EXPECT_TRUE(btn->MatchesTag(u"button"));
  EXPECT_TRUE(btn->MatchesTag(u"window"));
  EXPECT_FALSE(btn->MatchesTag(u"edit"));
  EXPECT_FALSE(btn->MatchesTag(u"Button"));  // class tests are case-sensitive
  SAutoRefPtr<IObject> combo = SAutoRefPtr<IObject>::Adopt(app_.NewElementByTag(u"comboview"));
  ASSERT_TRUE(combo);
  EXPECT_TRUE(combo->MatchesTag(u"combobase"));
}

TEST_F(RegistryTest, DottedTagCreatesTheTagAndAppliesTheWholeTextAsClass) {
  EXPECT_TRUE(app_.AddFactory(TplSObjectFactory<RecordingButton>(), true));
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewElementByTag(u"button.blue"));
  ASSERT_TRUE(obj);
  auto* rec = dynamic_cast<RecordingButton*>(obj.get());
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->applied, std::vector<std::u16string>{u"class=button.blue"});
  // The last dot splits: "a.b.c" asks for "a.b".
  EXPECT_EQ(app_.NewElementByTag(u"button.x.y"), nullptr);
}

TEST_F(RegistryTest, SecondRegistrationWithoutReplaceKeepsTheFirst) {
  EXPECT_FALSE(app_.AddFactory(TplSObjectFactory<RecordingButton>(), false));
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewElementByTag(u"button"));
  EXPECT_EQ(dynamic_cast<RecordingButton*>(obj.get()), nullptr);
  EXPECT_TRUE(app_.DropFactory(SObjectInfo(u"Button", 1)));
  EXPECT_FALSE(app_.DropFactory(SObjectInfo(u"button", 1)));
  EXPECT_EQ(app_.NewElementByTag(u"button"), nullptr);
}

TEST_F(RegistryTest, NamedIdsSearchByExactName) {
  static const SNamedIdEntry kIds[] = {
      {u"status", 65540},   {u"_name_start", 65535}, {u"btn_stop", 65541},
      {u"btn_close", 65536}, {u"dir", 65539},
  };
  EXPECT_EQ(app_.SetNamedIdTable(kIds, false), 5u);  // unsorted: sorted on copy
  EXPECT_EQ(app_.IdForName(u"btn_stop"), 65541);
  EXPECT_EQ(app_.IdForName(u"btn_Stop"), 0);
  EXPECT_EQ(app_.IdForName(u"_name_start"), 65535);
  EXPECT_EQ(app_.IdForName(u"status"), 65540);
  EXPECT_EQ(app_.IdForName(u""), 0);
  EXPECT_EQ(app_.IdForName(std::u16string(50, u'a')), 0);
  // A table claimed sorted but not sorted still finds every entry.
  EXPECT_EQ(app_.SetNamedIdTable(kIds, true), 5u);
  EXPECT_EQ(app_.IdForName(u"dir"), 65539);
}

TEST_F(RegistryTest, RunMainLoopRunsTheMainLoopAndRemembersTheWindow) {
  auto* hwnd = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
  platform::PostQuitMessage(3);
  EXPECT_EQ(app_.RunMainLoop(hwnd), 3);
  EXPECT_EQ(app_.MainWindow(), hwnd);
  // Without a loop factory there is no loop to run.
  app_.SetMsgLoopFactory(nullptr);
  EXPECT_EQ(app_.MainMessageLoop(), nullptr);
  EXPECT_EQ(app_.RunMainLoop(hwnd), 0);
}

}  // namespace
}  // namespace LOOM
