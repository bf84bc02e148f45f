// An application over the control tests' resources (four- and three-cell button
// pictures, the progress bar's gradients, stand-ins for the system skins of buttons
// and horizontal bars, the program icon) and a test container holding a tree built
// from markup text, painted the way a host paints it.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/text_util.h"
#include "tests/loom_tree/test_container.h"

namespace LOOM::test {

// The channels of a picture pixel (premultiplied 0xAARRGGBB).
struct Channels {
  int r, g, b, a;
  explicit Channels(COLORREF px)
      : r(static_cast<int>((px >> 16) & 0xFF)),
        g(static_cast<int>((px >> 8) & 0xFF)),
        b(static_cast<int>(px & 0xFF)),
        a(static_cast<int>(px >> 24)) {}
};

inline constexpr COLORREF kPixRed = 0xFFFF0000, kPixGreen = 0xFF00FF00, kPixBlue = 0xFF0000FF;
inline constexpr COLORREF kPixGrey = 0xFF808080, kPixWhite = 0xFFFFFFFF, kPixBlack = 0xFF000000;

inline SAutoRefPtr<IRenderFactory> MakeRenderFactory() {
  auto factory = SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory());
  auto decoders = SAutoRefPtr<IImgDecoderFactory>::Adopt(NewImgDecoderFactory(u"imgdecoder-gdip"));
  factory->SetDecoderFactory(decoders.get());
  return factory;
}

class ControlsFixture : public ::testing::Test {
 protected:
  ControlsFixture() : factory_(MakeRenderFactory()), app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    provider_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(provider_.get(), platform::CurrentModule());
    app_.ResProviders().AttachProvider(provider_.get(), u"uidef:xml_init");
  }
  ~ControlsFixture() override { DropHost(); }

  // Builds the tree of a "root" element in a container of the given size.
  TestContainer& Build(std::u16string_view markup, int width = 400, int height = 300) {
    DropHost();
    host_ = SAutoRefPtr<TestContainer>::Adopt(new TestContainer());
    SXmlDoc doc;
    EXPECT_TRUE(doc.LoadText(markup));
    host_->LoadFromMarkup(doc.Child());
    host_->Resize(factory_.get(), width, height);
    host_->LayoutIfDirty();
    host_->ClearRecords();
    return *host_;
  }
  SWindow* Lookup(std::u16string_view name) { return host_ ? host_->ChildWithName(name) : nullptr; }
  SWindow* Find(std::u16string_view name) {
    SWindow* e = Lookup(name);
    if (!e) throw std::runtime_error("no element " + ToU8(name));
    return e;
  }
  template <class T>
  T* Control(std::u16string_view name) {
    auto* c = dynamic_cast<T*>(Find(name));
    if (!c) throw std::runtime_error("wrong class: " + ToU8(name));
    return c;
  }
  RECT RectOf(std::u16string_view name) { return Find(name)->ElementArea(); }
  // Repaints what is dirty and reads one pixel of the container's picture.
  COLORREF Pixel(int x, int y) {
    host_->Repaint();
    return host_->PixelAt(x, y);
  }
  int Count(int event_id) const {
    int n = 0;
    for (const auto& e : host_->events) n += e.id == event_id;
    return n;
  }
  int Commands() const { return Count(EVT_CMD); }
  // A scratch target with an element's font and text colour selected.
  SAutoRefPtr<IRenderTarget> TargetFor(SWindow* e) {
    IRenderTarget* raw = nullptr;
    factory_->NewTarget(&raw, 1, 1);
    auto rt = SAutoRefPtr<IRenderTarget>::Adopt(raw);
    SPaintState state;
    e->PrePaint(rt.get(), state);
    return rt;
  }

  SObjectDefaultRegister reg_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<IResProvider> provider_;
  SAutoRefPtr<TestContainer> host_;

 private:
  void DropHost() {
    if (!host_) return;
    host_->on_event = nullptr;
    host_->SendElementMessage(WM_DESTROY);
    host_.reset();
  }
};

}  // namespace LOOM::test
