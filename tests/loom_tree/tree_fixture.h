// An application over the test executable's resources (UI definitions with a style
// class, a template and state-following skins; layouts to include) and a test
// container holding a tree built from markup text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/text_util.h"
#include "test_container.h"

namespace LOOM::test {

class RecordingSink final : public TObjRefImpl<ILogSink> {
 public:
  void Write(std::u16string_view, std::u16string_view message, const char*, int line, const char*) override {
    lines.emplace_back(message);
    line_numbers.push_back(line);
  }
  bool Saw(std::u16string_view text) const {
    for (const auto& l : lines)
      if (l.find(text) != std::u16string::npos) return true;
    return false;
  }
  std::vector<std::u16string> lines;
  std::vector<int> line_numbers;
};

// An element that records every message it receives ("recorder" in markup).
class RecorderElement : public SWindow {
  LOOM_CLASS_TAG(RecorderElement, SWindow, u"recorder", u"window", ObjectKind::Window)

 public:
  BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    log.push_back(msg);
    return SWindow::HandleElementMessage(msg, wp, lp, result);
  }
  int Count(UINT msg) const { return static_cast<int>(std::count(log.begin(), log.end(), msg)); }
  // The messages received, without the paint messages.
  std::vector<UINT> Input() const {
    std::vector<UINT> out;
    for (UINT m : log)
      if (m != WM_PAINT && m != WM_ERASEBKGND && m != WM_NCPAINT) out.push_back(m);
    return out;
  }
  std::vector<UINT> log;
};

// An element that refuses to be created ("refuser" in markup).
class RefusingElement : public SWindow {
  LOOM_CLASS_TAG(RefusingElement, SWindow, u"refuser", u"window", ObjectKind::Window)

 protected:
  int OnCreate() override { return 1; }
};

class TreeFixture : public ::testing::Test {
 protected:
  TreeFixture()
      : factory_(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    app_.SetLogSink(sink_.get());
    app_.Register<RecorderElement>();
    app_.Register<RefusingElement>();
    provider_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(provider_.get(), platform::CurrentModule());
    app_.ResProviders().AttachProvider(provider_.get(), u"uidef:xml_init");
  }
  ~TreeFixture() override {
    if (host_) {
      host_->on_event = nullptr;  // it may refer to the test body's locals
      host_->SendElementMessage(WM_DESTROY);
      host_.reset();
    }
  }

  // Builds the tree of a "root" element in a host of the given size and lays it out.
  TestContainer& Build(std::u16string_view markup, int width = 400, int height = 300) {
    if (host_) {
      host_->on_event = nullptr;
      host_->SendElementMessage(WM_DESTROY);
    }
    host_ = SAutoRefPtr<TestContainer>::Adopt(new TestContainer());
    SXmlDoc doc;
    EXPECT_TRUE(doc.LoadText(markup));
    host_->LoadFromMarkup(doc.Child());
    host_->Resize(factory_.get(), width, height);
    host_->LayoutIfDirty();
    host_->ClearRecords();
    return *host_;
  }
  // The element of a name, or nullptr.
  SWindow* Lookup(std::u16string_view name) { return host_ ? host_->ChildWithName(name) : nullptr; }
  // The element of a name; a missing one ends the test.
  SWindow* Find(std::u16string_view name) {
    SWindow* e = Lookup(name);
    if (!e) throw std::runtime_error("no element " + ToU8(name));
    return e;
  }
  RecorderElement* Recorder(std::u16string_view name) {
    auto* r = dynamic_cast<RecorderElement*>(Find(name));
    if (!r) throw std::runtime_error("not a recorder: " + ToU8(name));
    return r;
  }
  RECT RectOf(std::u16string_view name) { return Find(name)->ElementArea(); }

  SAutoRefPtr<RecordingSink> sink_ = SAutoRefPtr<RecordingSink>::Adopt(new RecordingSink());
  SObjectDefaultRegister reg_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<IResProvider> provider_;
  SAutoRefPtr<TestContainer> host_;
};

// Opaque colours as the picture stores them (premultiplied 0xAARRGGBB words).
inline constexpr COLORREF kPixRed = 0xFFFF0000, kPixGreen = 0xFF00FF00, kPixBlue = 0xFF0000FF;

}  // namespace LOOM::test
