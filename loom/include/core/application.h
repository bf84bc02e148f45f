// SApplication: the toolkit's process-wide object. It owns the shared services
// (resource providers, UI definitions, pools, render factory) and the registry of
// object factories through which markup tags become objects.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/named_id.h"
#include "core/object_factory.h"
#include "core/services.h"
#include "core/singleton.h"
#include "core/tooltip.h"
#include "platform/toolkit/module_resources.h"

namespace LOOM {

struct IRenderFactory;
struct IResProvider;
class SResProviderMgr;
class SUiDef;
class SFontPool;
class SSkinPoolMgr;
class SStylePoolMgr;
class STemplatePoolMgr;
class SXmlDoc;
class CSimpleWndHelper;
class SWindowMgr;
class STimer2;
class SScriptTimer;
class SWindowFinder;

// What the application registers at construction: layouts, skins, windows and
// interpolators, in that order.
struct ISystemObjectRegister {
  virtual ~ISystemObjectRegister() = default;
  virtual void RegisterLayouts(SObjectFactoryMgr&) {}
  virtual void RegisterSkins(SObjectFactoryMgr&) {}
  virtual void RegisterWindows(SObjectFactoryMgr&) {}
  virtual void RegisterInterpolators(SObjectFactoryMgr&) {}
};

// Registers every tag of the toolkit's four tables.
class SObjectDefaultRegister : public ISystemObjectRegister {
 public:
  void RegisterLayouts(SObjectFactoryMgr& mgr) override;
  void RegisterSkins(SObjectFactoryMgr& mgr) override;
  void RegisterWindows(SObjectFactoryMgr& mgr) override;
  void RegisterInterpolators(SObjectFactoryMgr& mgr) override;
};

// Failure bits of InstallSystemResources.
inline constexpr int kSysResSkinFailed = 1;
inline constexpr int kSysResEditMenuFailed = 2;
inline constexpr int kSysResMsgBoxFailed = 4;

class SApplication : public SSingleton<SApplication>, public SObjectFactoryMgr {
 public:
  SApplication(IRenderFactory* render_factory, HINSTANCE instance, std::u16string_view host_class_name,
               ISystemObjectRegister& reg, bool enable_ime = false);
  ~SApplication() override;

  // Elements by tag; "tag.suffix" creates "tag" and applies class="tag.suffix".
  IObject* NewElementByTag(std::u16string_view text) const;
  IObject* NewSkinByTag(std::u16string_view tag) const;
  IObject* NewInterpolatorByTag(std::u16string_view tag) const;

  std::size_t SetNamedIdTable(std::span<const SNamedIdEntry> entries, bool sorted);
  int IdForName(std::u16string_view name) const { return named_ids_.Find(name); }

  // Loads a named resource as XML; without a provider the provider manager picks one
  // (type "file" reads the file named by name).
  bool LoadMarkupDocument(SXmlDoc& doc, std::u16string_view name, std::u16string_view type,
                          IResProvider* provider = nullptr) const;
  // Loads the system skins, edit menu and message-box template; a mask of failures.
  int InstallSystemResources(IResProvider* provider);
  // Runs the main loop; afterwards destroys the main window when it still exists.
  // The loop's exit code.
  int RunMainLoop(HWND main_window);
  std::u16string TranslateInContext(std::u16string_view text, std::u16string_view context) const;

  IRenderFactory* RenderFactory() const { return render_factory_.get(); }
  ITranslatorMgr* Translator() const { return translator_.get(); }
  void SetTranslator(ITranslatorMgr* t);
  // The loop factory (SDefMsgLoopFactory unless replaced); replacing it makes a new
  // main loop with it.
  IMsgLoopFactory* MsgLoopFactory() const { return msg_loop_factory_.get(); }
  void SetMsgLoopFactory(IMsgLoopFactory* f);
  // The factory of the hosts' tooltips (SDefToolTipFactory unless replaced; nullptr:
  // hosts have no tooltip).
  IToolTipFactory* ToolTipFactory() const { return tooltip_factory_.get(); }
  void SetToolTipFactory(IToolTipFactory* f) { tooltip_factory_ = f; }
  IMessageLoop* MainMessageLoop() const { return main_loop_.get(); }
  ILogSink* LogSink() const { return log_sink_.get(); }
  void SetLogSink(ILogSink* sink) { log_sink_ = sink; }
  const std::u16string& AppDir() const { return app_dir_; }
  HINSTANCE ModuleInstance() const { return instance_; }
  HWND MainWindow() const { return main_window_; }
  const std::u16string& HostClassName() const { return host_class_name_; }
  bool ImeEnabled() const { return enable_ime_; }

  SResProviderMgr& ResProviders() const { return *res_mgr_; }
  SUiDef& UiDef() const { return *ui_def_; }
  SFontPool& FontPool() const { return *font_pool_; }
  SSkinPoolMgr& SkinPools() const { return *skin_pools_; }
  SStylePoolMgr& StylePools() const { return *style_pools_; }
  STemplatePoolMgr& TemplatePools() const { return *template_pools_; }
  // The binding of native windows to their objects and the toolkit's window class.
  CSimpleWndHelper& SimpleWndHelper() const { return *simple_wnd_helper_; }
  // The element tree's services: handle table, element thread timers, script timers,
  // and the cache of lookups by name or id.
  SWindowMgr& WindowMgr() const { return *window_mgr_; }
  STimer2& Timer2() const { return *timer2_; }
  SScriptTimer& ScriptTimer() const { return *script_timer_; }
  SWindowFinder& WindowFinder() const { return *window_finder_; }
  // The system markup kept by InstallSystemResources for the edit control's context
  // menu ("editmenu") and the message-box template ("LOOM"); empty until loaded.
  const SXmlDoc& EditMenuMarkup() const { return *edit_menu_doc_; }
  const SXmlDoc& MsgBoxMarkup() const { return *msgbox_doc_; }

 protected:
  void ApplyObjectDefaults(IObject& obj) const override;

 private:
  std::unique_ptr<SResProviderMgr> res_mgr_;
  SAutoRefPtr<IRenderFactory> render_factory_;
  SAutoRefPtr<ITranslatorMgr> translator_;
  SAutoRefPtr<IMsgLoopFactory> msg_loop_factory_;
  SAutoRefPtr<IToolTipFactory> tooltip_factory_;
  SAutoRefPtr<ILogSink> log_sink_;
  SNamedID named_ids_;
  std::u16string app_dir_;
  HWND main_window_ = nullptr;
  HINSTANCE instance_ = nullptr;
  std::u16string host_class_name_;
  bool enable_ime_ = false;
  SAutoRefPtr<IMessageLoop> main_loop_;

  std::unique_ptr<SUiDef> ui_def_;
  std::unique_ptr<SWindowMgr> window_mgr_;
  std::unique_ptr<STimer2> timer2_;
  std::unique_ptr<SScriptTimer> script_timer_;
  std::unique_ptr<SFontPool> font_pool_;
  std::unique_ptr<SSkinPoolMgr> skin_pools_;
  std::unique_ptr<SStylePoolMgr> style_pools_;
  std::unique_ptr<STemplatePoolMgr> template_pools_;
  std::unique_ptr<SWindowFinder> window_finder_;
  std::unique_ptr<SXmlDoc> edit_menu_doc_;
  std::unique_ptr<SXmlDoc> msgbox_doc_;
  std::unique_ptr<CSimpleWndHelper> simple_wnd_helper_;
};

}  // namespace LOOM
