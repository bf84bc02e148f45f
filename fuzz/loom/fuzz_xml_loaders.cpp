// UI definitions, their value tables, skin, style, template and default-attribute
// tables, loaded from fuzzed markup through an in-memory module.
#include <cstddef>
#include <cstdint>

#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/skin_pool.h"
#include "core/ui_def.h"
#include "core/xml.h"

namespace {

struct Toolkit {
  Toolkit()
      : decoders(LOOM::SAutoRefPtr<LOOM::IImgDecoderFactory>::Adopt(LOOM::NewImgDecoderFactory(u"imgdecoder-gdip"))),
        factory(LOOM::SAutoRefPtr<LOOM::IRenderFactory>::Adopt(LOOM::NewRenderFactory())),
        app((factory->SetDecoderFactory(decoders.get()), factory.get()), platform::CurrentModule(), u"LOOMHOST", reg) {}
  LOOM::SObjectDefaultRegister reg;
  LOOM::SAutoRefPtr<LOOM::IImgDecoderFactory> decoders;
  LOOM::SAutoRefPtr<LOOM::IRenderFactory> factory;
  LOOM::SApplication app;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Toolkit toolkit;
  // The same bytes serve as the definitions and as every table they refer to.
  platform::EmbeddedResource entries[] = {
      {u"UIDEF", u"XML_INIT", 2052, data, size},   {u"VALUES", u"COLOR", 2052, data, size},
      {u"VALUES", u"STRING", 2052, data, size},    {u"VALUES", u"SKIN", 2052, data, size},
      {u"IMAGE", u"PICTURE", 2052, data, size},    {u"XML", u"SYS_XML_SKIN", 2052, data, size},
  };
  HINSTANCE__ module{entries, sizeof entries / sizeof entries[0]};
  LOOM::SAutoRefPtr<LOOM::IResProvider> provider = LOOM::SAutoRefPtr<LOOM::IResProvider>::Adopt(LOOM::NewResourceProvider(0));
  LOOM::OpenModuleSource(provider.get(), &module);
  toolkit.app.SetLogSink(nullptr);
  LOOM::SAutoRefPtr<LOOM::SUiDefInfo> info =
      LOOM::SAutoRefPtr<LOOM::SUiDefInfo>::Adopt(LOOM::BuildUiDefinitions(provider.get(), u"uidef:xml_init"));
  if (info) {
    info->NamedColors().Find(u"theme");
    if (info->DefaultAttributes()) info->DefaultAttributes()->ClassDefaults(u"edit");
    if (LOOM::SSkinPool* pool = info->SkinPool()) {
      pool->GetSkin(u"a", 130);
      // Paint every skin loaded, in every state, into a small target.
      LOOM::IRenderTarget* raw = nullptr;
      toolkit.factory->NewTarget(&raw, 24, 16);
      LOOM::SAutoRefPtr<LOOM::IRenderTarget> rt = LOOM::SAutoRefPtr<LOOM::IRenderTarget>::Adopt(raw);
      pool->ForEachSkin([&rt](LOOM::ISkinObj* skin) {
        for (int state = -1; state < 5; ++state) skin->DrawCell(rt.get(), {1, 1, 23, 15}, state);
        LOOM::SAutoRefPtr<LOOM::ISkinObj> scaled = LOOM::SAutoRefPtr<LOOM::ISkinObj>::Adopt(skin->ScaledCopy(150));
        if (scaled) scaled->DrawCell(rt.get(), {0, 0, 24, 16}, 1);
      });
    }
  }
  // A skin table straight from the bytes, as the system skins load.
  LOOM::SXmlDoc doc;
  if (doc.LoadBuffer(data, size)) {
    LOOM::SAutoRefPtr<LOOM::SSkinPool> pool = LOOM::SAutoRefPtr<LOOM::SSkinPool>::Adopt(new LOOM::SSkinPool());
    toolkit.app.ResProviders().AttachProvider(provider.get());
    pool->LoadSkins(doc.Child());
    toolkit.app.ResProviders().DetachProvider(provider.get());
  }
  return 0;
}
