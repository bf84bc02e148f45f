#include "core/skin_pool.h"

#include "core/application.h"

namespace LOOM {
namespace {

constexpr int kScales[] = {100, 125, 150, 200, 250, 300};

constexpr const char16_t* kSystemSkinNames[kSystemSkinCount] = {
    u"_skin.sys.checkbox",      u"_skin.sys.radio",          u"_skin.sys.focuscheckbox",
    u"_skin.sys.focusradio",    u"_skin.sys.btn.normal",     u"_skin.sys.scrollbar",
    u"_skin.sys.border",        u"_skin.sys.dropbtn",        u"_skin.sys.tree.toggle",
    u"_skin.sys.tree.checkbox", u"_skin.sys.tree.lines",     u"_skin.sys.tab.page",
    u"_skin.sys.header",        u"_skin.sys.split.vert",     u"_skin.sys.split.horz",
    u"_skin.sys.prog.bkgnd",    u"_skin.sys.prog.bar",       u"_skin.sys.vert.prog.bkgnd",
    u"_skin.sys.vert.prog.bar", u"_skin.sys.slider.thumb",   u"_skin.sys.btn.close",
    u"_skin.sys.btn.minimize",  u"_skin.sys.btn.maximize",   u"_skin.sys.btn.restore",
    u"_skin.sys.menu.check",    u"_skin.sys.menu.sep",       u"_skin.sys.menu.arrow",
    u"_skin.sys.menu.border",   u"_skin.sys.menu.skin",      u"_skin.sys.icons",
    u"_skin.sys.wnd.bkgnd",     u"_skin.sys.btn.prev",       u"_skin.sys.btn.next",
    u"_skin.sys.spin.down",     u"_skin.sys.spin.up",
};

}  // namespace

int NormaliseScale(int scale) {
  int chosen = kScales[0];
  for (int s : kScales)
    if (s <= scale) chosen = s;
  return chosen;
}

int SSkinPool::LoadSkins(const SXmlNode& table) {
  SApplication* app = SApplication::Instance();
  if (!app || !table) return 0;
  // Pushed while loading, so that skins being loaded can find the ones before them.
  app->SkinPools().Push(this);
  int count = 0;
  for (SXmlNode e = table.Child(); e; e = e.NextSiblingElement()) {
    if (e.Attribute(u"name").Value().empty()) continue;
    auto skin = app->CreateObjectAs<ISkinObj>(SObjectInfo(e.Name(), ObjectKind::Skin));
    if (!skin) continue;
    skin->LoadFromMarkup(e);
    if (AddSkin(skin.get())) ++count;
  }
  app->SkinPools().Pop();
  return count;
}

bool SSkinPool::AddSkin(ISkinObj* skin) {
  if (!skin) return false;
  auto key = std::make_pair(std::u16string(skin->SkinName()), skin->ScalePercent());
  if (skins_.count(key)) return false;
  skins_.emplace(std::move(key), SAutoRefPtr<ISkinObj>(skin));
  return true;
}

ISkinObj* SSkinPool::Exact(std::u16string_view name, int scale) const {
  auto it = skins_.find(std::make_pair(std::u16string(name), scale));
  return it == skins_.end() ? nullptr : it->second.get();
}

ISkinObj* SSkinPool::GetSkin(std::u16string_view name, int scale) {
  if (ISkinObj* s = Exact(name, scale)) return s;
  int normal = NormaliseScale(scale);
  if (ISkinObj* s = Exact(name, normal)) return s;
  for (int t : kScales) {
    ISkinObj* base = Exact(name, t);
    if (!base) continue;
    SAutoRefPtr<ISkinObj> copy = SAutoRefPtr<ISkinObj>::Adopt(base->ScaledCopy(normal));
    if (!copy) return base;
    skins_.emplace(std::make_pair(std::u16string(name), normal), copy);
    return copy.get();
  }
  return nullptr;
}

SSkinPoolMgr::SSkinPoolMgr() { pools_.push_back(SAutoRefPtr<SSkinPool>::Adopt(new SSkinPool())); }

void SSkinPoolMgr::Pop() {
  if (pools_.size() > 1) pools_.pop_back();
}

bool SSkinPoolMgr::Remove(SSkinPool* pool) {
  for (std::size_t i = pools_.size(); i > 1; --i) {
    if (pools_[i - 1].get() == pool) {
      pools_.erase(pools_.begin() + static_cast<std::ptrdiff_t>(i - 1));
      return true;
    }
  }
  return false;
}

ISkinObj* SSkinPoolMgr::GetSkin(std::u16string_view name, int scale) const {
  for (auto it = pools_.rbegin(); it != pools_.rend(); ++it)
    if (ISkinObj* s = (*it)->GetSkin(name, scale)) return s;
  return nullptr;
}

const char16_t* SystemSkinName(int index) {
  return index >= 0 && index < kSystemSkinCount ? kSystemSkinNames[index] : nullptr;
}

ISkinObj* SystemSkinByIndex(int index, int scale) {
  SApplication* app = SApplication::Instance();
  const char16_t* name = SystemSkinName(index);
  return app && name ? app->SkinPools().GetSkin(name, scale) : nullptr;
}

}  // namespace LOOM
