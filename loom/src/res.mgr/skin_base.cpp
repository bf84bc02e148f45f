#include "core/application.h"
#include "core/skin.h"
#include "core/text_util.h"

namespace LOOM {

HRESULT SSkinObjBase::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"alpha")) alpha_ = static_cast<BYTE>(IntOr0(value));
  else if (EqualsNoCase(name, u"enableColorize")) enable_colorize_ = IntOr0(value) != 0;
  else if (EqualsNoCase(name, u"scale")) scale_ = IntOr0(value);
  else if (EqualsNoCase(name, u"name")) name_ = value;
  else return SObjectImpl<ISkinObj>::ApplyAttribute(name, value, loading);
  return S_OK;
}

ISkinObj* SSkinObjBase::ScaledCopy(int scale) const {
  SApplication* app = SApplication::Instance();
  if (!app) return nullptr;
  auto skin = app->CreateObjectAs<ISkinObj>(SObjectInfo(TagName(), ObjectKind::Skin));
  if (!skin) return nullptr;
  CopyScaledInto(skin.get(), scale);
  return skin.detach();
}

void SSkinObjBase::CopyScaledInto(ISkinObj* target, int scale) const {
  auto* t = dynamic_cast<SSkinObjBase*>(target);
  if (!t) return;
  t->alpha_ = alpha_;
  t->colorize_ = colorize_;
  t->enable_colorize_ = enable_colorize_;
  t->name_ = name_;
  t->scale_ = scale;
}

}  // namespace LOOM
