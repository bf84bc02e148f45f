// An application over the test executable's embedded resources, with the UI
// definitions "uidef:xml_init" attached, as start-up does it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"

namespace LOOM::test {

class RecordingSink final : public TObjRefImpl<ILogSink> {
 public:
  void Write(std::u16string_view, std::u16string_view message, const char*, int line, const char*) override {
    lines.emplace_back(message);
    line_numbers.push_back(line);
  }
  std::vector<std::u16string> lines;
  std::vector<int> line_numbers;
};

class AppFixture : public ::testing::Test {
 protected:
  explicit AppFixture(bool attach_uidef = true)
      : decoders_(SAutoRefPtr<IImgDecoderFactory>::Adopt(NewImgDecoderFactory(u"imgdecoder-gdip"))),
        factory_(MakeFactory(decoders_.get())),
        app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    app_.SetLogSink(sink_.get());
    provider_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(provider_.get(), platform::CurrentModule());
    if (attach_uidef) app_.ResProviders().AttachProvider(provider_.get(), u"uidef:xml_init");
  }
  static SAutoRefPtr<IRenderFactory> MakeFactory(IImgDecoderFactory* decoders) {
    auto f = SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory());
    f->SetDecoderFactory(decoders);
    return f;
  }
  SAutoRefPtr<RecordingSink> sink_ = SAutoRefPtr<RecordingSink>::Adopt(new RecordingSink());
  SObjectDefaultRegister reg_;
  SAutoRefPtr<IImgDecoderFactory> decoders_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<IResProvider> provider_;
};

}  // namespace LOOM::test
