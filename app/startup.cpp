#include "app/startup.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/main_dlg.h"
#include "app/named_ids.h"
#include "app/trust_check.h"
#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "platform/toolkit/module_resources.h"
#include "platform/shell/ole_session.h"
#include "platform/shell/process.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"

namespace krdn::app {
namespace {

// What failed and what to do, for someone who started the program from a terminal or
// reads the session's log.
void ReportNoDisplay() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::string where = display != nullptr && *display != '\0' ? std::string("the display \"") + display + "\""
                      : wayland != nullptr && *wayland != '\0' ? std::string("the Wayland display \"") + wayland + "\""
                                                                : std::string("a display (DISPLAY is not set)");
  std::fprintf(stderr,
               "krdn-repair: cannot open %s: %s\n"
               "krdn-repair: it needs a graphical desktop session; start it from the desktop, or set DISPLAY "
               "to a running X server (for example with xvfb-run).\n",
               where.c_str(), platform::WindowingError().c_str());
  std::fflush(stderr);
}

template <class T>
LOOM::SAutoRefPtr<T> Adopt(T* object) {
  return LOOM::SAutoRefPtr<T>::Adopt(object);
}

}  // namespace

int RunProgram(const ProgramOptions& options) {
  const HINSTANCE module = platform::CurrentModule();
  const std::u16string executable =
      options.executable_path.empty() ? platform::ModuleFileName(module) : options.executable_path;
  // Relative paths, and the launcher started later, see the program's own folder.
  platform::SetCurrentDirectory(platform::FolderOfPath(executable));

  // The question of the trust check needs the display; everything else comes later.
  // Without one there is nothing to show: say so and end, rather than wait for ever.
  // The desktop entry krdn-repair.desktop names this class (StartupWMClass).
  platform::SetCurrentProcessExplicitAppUserModelID(u"krdn-repair");
  if (!platform::InitWindowing()) {
    ReportNoDisplay();
    return kExitNoDisplay;
  }
  if (!TrustOwnExecutable(executable)) return -1;

  const platform::OleSession ole;
  const std::u16string decoder_name = u"imgdecoder-gdip";
  auto render_factory = Adopt(LOOM::NewRenderFactory());
  auto decoder_factory = Adopt(LOOM::NewImgDecoderFactory(decoder_name));
  render_factory->SetDecoderFactory(decoder_factory.get());

  LOOM::SObjectDefaultRegister object_register;
  auto application = std::make_unique<LOOM::SApplication>(render_factory.get(), module, u"LOOMHOST", object_register, false);
  {
    auto system_provider = Adopt(LOOM::NewResourceProvider(0));
    LOOM::OpenModuleSource(system_provider.get(), module);
    application->InstallSystemResources(system_provider.get());
  }
  auto provider = Adopt(LOOM::NewResourceProvider(0));
  LOOM::OpenModuleSource(provider.get(), module);
  application->SetNamedIdTable(NamedIdTable(), true);
  application->ResProviders().AttachProvider(provider.get(), u"uidef:xml_init");

  MainWindowServices services{options.run_settings, options.end_process ? options.end_process : platform::EndProcessNow};
  auto main_window = std::make_unique<CMainDlg>(std::move(services));
  main_window->Create(platform::GetActiveWindow(), 0, 0, 0, 0);
  main_window->SendWindowMessage(WM_INITDIALOG, 0, 0);
  main_window->CenterWindow(main_window->NativeHandle());
  main_window->ShowWindow(SW_SHOWNORMAL);
  if (options.on_main_window) options.on_main_window(*main_window);
  const int exit_code = application->RunMainLoop(main_window->NativeHandle());

  main_window.reset();
  application.reset();
  provider = nullptr;
  render_factory = nullptr;
  decoder_factory = nullptr;
  return exit_code;
}

}  // namespace krdn::app
