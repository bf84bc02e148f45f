// An application over the program's own resource package, set up as start-up does it:
// system resources installed, named ids given, "uidef:xml_init" attached.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/named_ids.h"
#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/skin_pool.h"

namespace krdn::app::test {

class PackageTest : public ::testing::Test {
 protected:
  PackageTest()
      : decoders_(LOOM::SAutoRefPtr<LOOM::IImgDecoderFactory>::Adopt(LOOM::NewImgDecoderFactory(u"imgdecoder-gdip"))),
        factory_(MakeFactory(decoders_.get())),
        app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    auto system = LOOM::SAutoRefPtr<LOOM::IResProvider>::Adopt(LOOM::NewResourceProvider(0));
    LOOM::OpenModuleSource(system.get(), platform::CurrentModule());
    system_failures_ = app_.InstallSystemResources(system.get());
    provider_ = LOOM::SAutoRefPtr<LOOM::IResProvider>::Adopt(LOOM::NewResourceProvider(0));
    LOOM::OpenModuleSource(provider_.get(), platform::CurrentModule());
    app_.SetNamedIdTable(NamedIdTable(), true);
    app_.ResProviders().AttachProvider(provider_.get(), u"uidef:xml_init");
  }
  static LOOM::SAutoRefPtr<LOOM::IRenderFactory> MakeFactory(LOOM::IImgDecoderFactory* decoders) {
    auto f = LOOM::SAutoRefPtr<LOOM::IRenderFactory>::Adopt(LOOM::NewRenderFactory());
    f->SetDecoderFactory(decoders);
    return f;
  }
  LOOM::ISkinObj* Skin(std::u16string_view name) { return app_.SkinPools().GetSkin(name, 100); }

  LOOM::SObjectDefaultRegister reg_;
  LOOM::SAutoRefPtr<LOOM::IImgDecoderFactory> decoders_;
  LOOM::SAutoRefPtr<LOOM::IRenderFactory> factory_;
  LOOM::SApplication app_;
  LOOM::SAutoRefPtr<LOOM::IResProvider> provider_;
  int system_failures_ = -1;
};

}  // namespace krdn::app::test
