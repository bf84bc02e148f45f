// The toolkit's vocabulary: every tag of the four tables, in registration order, with
// its base tag. Tags whose class exists are registered with it; the others get a
// generic object with the right tag and base (see docs/toolkit.md).
#include "core/application.h"
#include "core/basic_controls.h"
#include "core/edit_controls.h"
#include "core/generic_object.h"
#include "core/loom_layout.h"
#include "core/skin.h"
#include "core/swnd.h"

namespace LOOM {
namespace {

struct TagEntry {
  const char16_t* tag;
  const char16_t* base;
};

constexpr TagEntry kLayoutTags[] = {
    {u"LoomLayout", u"object"}, {u"linearLayout", u"object"}, {u"hbox", u"linearLayout"},
    {u"vbox", u"linearLayout"}, {u"gridLayout", u"object"},
};

constexpr TagEntry kWindowTags[] = {
    {u"window", u"object"},         {u"div", u"window"},           {u"text", u"window"},
    {u"button", u"window"},         {u"img", u"window"},           {u"progress", u"window"},
    {u"imgbtn", u"button"},         {u"hr", u"window"},            {u"check", u"window"},
    {u"icon", u"window"},           {u"radio", u"window"},         {u"link", u"window"},
    {u"group", u"window"},          {u"animateimg", u"window"},    {u"scrollview", u"div"},
    {u"realwnd", u"window"},        {u"toggle", u"window"},        {u"caption", u"window"},
    {u"tabctrl", u"window"},        {u"page", u"window"},          {u"activex", u"window"},
    {u"flash", u"activex"},         {u"pane", u"window"},          {u"splitwnd", u"window"},
    {u"splitcol", u"splitwnd"},     {u"splitrow", u"splitwnd"},    {u"sliderbar", u"progress"},
    {u"treectrl", u"scrollview"},   {u"scrollbar", u"window"},     {u"header", u"window"},
    {u"listctrl", u"div"},          {u"listbox", u"scrollview"},   {u"richedit", u"div"},
    {u"edit", u"richedit"},         {u"hotkey", u"window"},        {u"combobox", u"combobase"},
    {u"calendar", u"window"},       {u"spinButton", u"window"},    {u"listview", u"div"},
    {u"comboview", u"combobase"},   {u"mclistview", u"div"},       {u"tileview", u"div"},
    {u"treeview", u"div"},          {u"menubar", u"window"},       {u"calendarex", u"window"},
    {u"dateTimePicker", u"window"},
};

constexpr const char16_t* kInterpolatorTags[] = {
    u"Linear",   u"Accelerate", u"Decelerate", u"AccelerateDecelerate", u"Anticipate",
    u"AnticipateOvershoot", u"Bounce", u"Cycle", u"Overshoot",
};

void RegisterGeneric(SObjectFactoryMgr& mgr, const char16_t* tag, const char16_t* base, int kind) {
  // A class registered earlier under the tag keeps it: the first registration wins.
  mgr.AddFactory(SRuntimeObjectFactory(tag, base, kind, &SGenericObject::Make), false);
}

}  // namespace

// Real classes of layout and window tags. The layout, element-tree and control modules
// register theirs here; these run before the generic fallbacks of the same tags.
void RegisterLayoutClasses(SObjectFactoryMgr& mgr) { RegisterLayoutObjects(mgr); }
void RegisterWindowClasses(SObjectFactoryMgr& mgr) {
  mgr.Register<SWindow>();
  RegisterBasicControls(mgr);
  RegisterEditControls(mgr);
}

bool SGenericObject::MatchesTag(std::u16string_view name) const {
  if (name == tag_) return true;
  SApplication* app = SApplication::Instance();
  std::u16string base = base_tag_;
  for (int guard = 0; !base.empty() && guard < 64; ++guard) {
    if (name == base) return true;
    base = app ? app->BaseTagOf(SObjectInfo(base, kind_)) : std::u16string();
  }
  return false;
}

void SObjectDefaultRegister::RegisterLayouts(SObjectFactoryMgr& mgr) {
  RegisterLayoutClasses(mgr);
  for (const auto& e : kLayoutTags) RegisterGeneric(mgr, e.tag, e.base, ObjectKind::Layout);
}

void SObjectDefaultRegister::RegisterSkins(SObjectFactoryMgr& mgr) {
  mgr.Register<SSkinImgList>();
  mgr.Register<SSkinImgCenter>();
  mgr.Register<SSkinImgFrame>();
  mgr.Register<SSkinImgFrame2>();
  mgr.Register<SSkinButton>();
  mgr.Register<SSkinGradation>();
  mgr.Register<SSkinScrollbar>();
  mgr.Register<SSkinColorRect>();
  mgr.Register<SSkinShape>();
  mgr.Register<SSKinGroup>();
}

void SObjectDefaultRegister::RegisterWindows(SObjectFactoryMgr& mgr) {
  RegisterWindowClasses(mgr);
  // Window tags without a class of their own behave as elements of their base.
  for (const auto& e : kWindowTags)
    mgr.AddFactory(SRuntimeObjectFactory(e.tag, e.base, ObjectKind::Window, &SWindowVariant::Make), false);
}

void SObjectDefaultRegister::RegisterInterpolators(SObjectFactoryMgr& mgr) {
  for (const char16_t* tag : kInterpolatorTags) RegisterGeneric(mgr, tag, u"interpolator_base", ObjectKind::Interpolator);
}

}  // namespace LOOM
