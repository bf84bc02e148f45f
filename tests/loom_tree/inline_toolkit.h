// A toolkit application for fuzz targets: cairo drawing, a log that says nothing, and UI
// definitions taken from one markup text in memory (an embedded "UIDEF"/"XML_INIT"), so a
// target builds trees without resource files. The text must outlive the application.
#pragma once

#include <string_view>

#include "core/application.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "platform/toolkit/module_resources.h"
#include "platform/base/win_types.h"

namespace LOOM::test {

class QuietSink final : public TObjRefImpl<ILogSink> {
 public:
  void Write(std::u16string_view, std::u16string_view, const char*, int, const char*) override {}
};

struct InlineToolkit {
  explicit InlineToolkit(std::string_view uidef_markup)
      : factory(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app(factory.get(), platform::CurrentModule(), u"LOOMHOST", reg),
        uidef{{u"UIDEF", u"XML_INIT", 2052, reinterpret_cast<const unsigned char*>(uidef_markup.data()),
               uidef_markup.size()}} {
    app.SetLogSink(SAutoRefPtr<ILogSink>::Adopt(new QuietSink()).get());
    definitions = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(definitions.get(), &module);
    app.ResProviders().AttachProvider(definitions.get(), u"uidef:xml_init");
  }
  SObjectDefaultRegister reg;
  SAutoRefPtr<IRenderFactory> factory;
  SApplication app;
  platform::EmbeddedResource uidef[1];
  HINSTANCE__ module{uidef, 1};
  SAutoRefPtr<IResProvider> definitions;
};

// Client coordinates packed as a mouse message carries them.
inline LPARAM MousePoint(int x, int y) { return MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)); }

}  // namespace LOOM::test
