#include "core/application.h"

#include "core/font_pool.h"
#include "core/msg_loop.h"
#include "core/render.h"
#include "core/res_provider_mgr.h"
#include "core/simple_wnd.h"
#include "core/skin_pool.h"
#include "core/swindow_finder.h"
#include "core/swindow_mgr.h"
#include "core/timer2.h"
#include "core/text_util.h"
#include "core/tip_ctrl.h"
#include "core/ui_def.h"
#include "core/xml.h"
#include "platform/ui/window.h"

namespace LOOM {
namespace {
// No markup document comes near this; a larger "file" is refused rather than read.
constexpr std::size_t kMaxMarkupBytes = std::size_t{64} << 20;
}  // namespace

SApplication::SApplication(IRenderFactory* render_factory, HINSTANCE instance, std::u16string_view host_class_name,
                           ISystemObjectRegister& reg, bool enable_ime)
    : res_mgr_(std::make_unique<SResProviderMgr>()),
      render_factory_(render_factory),
      instance_(instance),
      host_class_name_(host_class_name),
      enable_ime_(enable_ime) {
  RegisterInstance(this);
  ui_def_ = std::make_unique<SUiDef>();
  window_mgr_ = std::make_unique<SWindowMgr>();
  timer2_ = std::make_unique<STimer2>();
  script_timer_ = std::make_unique<SScriptTimer>();
  font_pool_ = std::make_unique<SFontPool>(render_factory);
  skin_pools_ = std::make_unique<SSkinPoolMgr>();
  style_pools_ = std::make_unique<SStylePoolMgr>();
  template_pools_ = std::make_unique<STemplatePoolMgr>();
  window_finder_ = std::make_unique<SWindowFinder>();
  edit_menu_doc_ = std::make_unique<SXmlDoc>();
  msgbox_doc_ = std::make_unique<SXmlDoc>();
  simple_wnd_helper_ = std::make_unique<CSimpleWndHelper>(instance, host_class_name, enable_ime);
  translator_ = SAutoRefPtr<ITranslatorMgr>::Adopt(new SNullTranslator());
  tooltip_factory_ = SAutoRefPtr<IToolTipFactory>::Adopt(new SDefToolTipFactory());
  SetMsgLoopFactory(SAutoRefPtr<IMsgLoopFactory>::Adopt(new SDefMsgLoopFactory()).get());

  std::u16string module = platform::ModuleFileName(instance);
  std::size_t cut = module.find_last_of(u"/\\");
  app_dir_ = cut == std::u16string::npos ? std::u16string() : module.substr(0, cut);

  reg.RegisterLayouts(*this);
  reg.RegisterSkins(*this);
  reg.RegisterWindows(*this);
  reg.RegisterInterpolators(*this);
}

SApplication::~SApplication() {
  simple_wnd_helper_.reset();
  window_finder_.reset();
  style_pools_.reset();
  template_pools_.reset();
  skin_pools_.reset();
  font_pool_.reset();
  script_timer_.reset();
  timer2_.reset();
  window_mgr_.reset();
  ui_def_.reset();
  main_loop_.reset();
  res_mgr_->ClearProviders();
}

void SApplication::SetTranslator(ITranslatorMgr* t) { translator_ = t; }

void SApplication::SetMsgLoopFactory(IMsgLoopFactory* f) {
  msg_loop_factory_ = f;
  main_loop_ = f ? SAutoRefPtr<IMessageLoop>::Adopt(f->CreateMsgLoop()) : nullptr;
}

void SApplication::ApplyObjectDefaults(IObject& obj) const {
  if (obj.KindCode() != ObjectKind::Window) return;
  SXmlNode defaults = ui_def_->ClassDefaults(obj.TagName());
  if (!defaults) return;
  SXmlAttr cls = defaults.Attribute(u"class");
  if (cls) {
    obj.ApplyAttribute(cls.Name(), cls.Value(), true);
    cls.SetMark(true);
  }
  for (SXmlAttr a = defaults.FirstAttribute(); a; a = a.Next())
    if (!a.Marked()) obj.ApplyAttribute(a.Name(), a.Value(), true);
  if (cls) cls.SetMark(false);
}

IObject* SApplication::NewElementByTag(std::u16string_view text) const {
  std::size_t dot = text.rfind(u'.');
  std::u16string_view tag = dot == std::u16string_view::npos ? text : text.substr(0, dot);
  IObject* obj = CreateObject(SObjectInfo(tag, ObjectKind::Window));
  if (obj && dot != std::u16string_view::npos) obj->ApplyAttribute(u"class", text, true);
  return obj;
}

IObject* SApplication::NewSkinByTag(std::u16string_view tag) const {
  return CreateObject(SObjectInfo(tag, ObjectKind::Skin));
}

IObject* SApplication::NewInterpolatorByTag(std::u16string_view tag) const {
  return CreateObject(SObjectInfo(tag, ObjectKind::Interpolator));
}

std::size_t SApplication::SetNamedIdTable(std::span<const SNamedIdEntry> entries, bool sorted) {
  return named_ids_.Assign(entries, sorted);
}

bool SApplication::LoadMarkupDocument(SXmlDoc& doc, std::u16string_view name, std::u16string_view type,
                                      IResProvider* provider) const {
  if (!provider) {
    if (EqualsNoCase(type, u"file")) return doc.LoadFile(name);
    provider = res_mgr_->ProviderHolding(type, name);
    if (!provider) return false;
  }
  std::size_t size = provider->ResourceSize(type, name);
  if (size == 0 || size > kMaxMarkupBytes) return false;
  std::vector<char> bytes(size);
  if (!provider->CopyResourceBytes(type, name, bytes.data(), size)) return false;
  return doc.LoadBuffer(bytes.data(), size);
}

int SApplication::InstallSystemResources(IResProvider* provider) {
  int failed = 0;
  res_mgr_->AttachProvider(provider);
  SXmlDoc skins;
  SXmlNode skin_table;
  if (LoadMarkupDocument(skins, u"SYS_XML_SKIN", u"XML", provider)) skin_table = skins.Child(u"skin");
  if (skin_table) skin_pools_->BuiltinPool()->LoadSkins(skin_table);
  else failed |= kSysResSkinFailed;

  SXmlDoc menu;
  SXmlNode menu_node;
  if (LoadMarkupDocument(menu, u"SYS_XML_EDITMENU", u"XML", provider)) menu_node = menu.Child(u"editmenu");
  if (menu_node) edit_menu_doc_->AdoptCopy(menu_node);
  else failed |= kSysResEditMenuFailed;

  SXmlDoc msgbox;
  SXmlNode msgbox_node;
  if (LoadMarkupDocument(msgbox, u"SYS_XML_MSGBOX", u"XML", provider)) msgbox_node = msgbox.Child(u"LOOM");
  if (msgbox_node) msgbox_doc_->AdoptCopy(msgbox_node);
  else failed |= kSysResMsgBoxFailed;

  res_mgr_->DetachProvider(provider);
  return failed;
}

int SApplication::RunMainLoop(HWND main_window) {
  main_window_ = main_window;
  int code = main_loop_ ? main_loop_->Run() : 0;
  if (main_window && platform::IsWindow(main_window)) platform::DestroyWindow(main_window);
  return code;
}

std::u16string SApplication::TranslateInContext(std::u16string_view text, std::u16string_view context) const {
  std::u16string out;
  if (translator_ && translator_->Translate(text, context, out) && !out.empty()) return out;
  return std::u16string(text);
}

}  // namespace LOOM
