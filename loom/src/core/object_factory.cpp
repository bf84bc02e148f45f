#include "core/object_factory.h"

#include "core/log.h"
#include "core/text_util.h"

namespace LOOM {

SObjectInfo::SObjectInfo(std::u16string_view name, int kind) : name_(ToLower(name)), kind_(kind) {}

std::size_t SObjectInfo::Hash() const {
  std::uint32_t h = 0;
  for (char16_t c : name_) h = h * 33 + c;
  return static_cast<std::size_t>(h * 32u + static_cast<std::uint32_t>(kind_));
}

SObjectFactoryMgr::SObjectFactoryMgr() { factories_.reserve(17); }
SObjectFactoryMgr::~SObjectFactoryMgr() = default;

bool SObjectFactoryMgr::AddFactory(const SObjectFactory& factory, bool replace) {
  SObjectInfo key = factory.RegistryKey();
  auto it = factories_.find(key);
  if (it != factories_.end()) {
    if (!replace) return false;
    it->second = factory.CopyFactory();
    return true;
  }
  factories_.emplace(std::move(key), factory.CopyFactory());
  return true;
}

bool SObjectFactoryMgr::DropFactory(const SObjectInfo& key) { return factories_.erase(key) != 0; }

IObject* SObjectFactoryMgr::CreateObject(const SObjectInfo& key) const {
  auto it = factories_.find(key);
  if (it == factories_.end()) {
    LogWarning(u"Warning: no object " + key.Name() + u" of type:" + IntToText(key.Kind()) + u" in LOOM!!",
               "LOOM::SObjectFactoryMgr::CreateObject", "src\\core\\SObjectFactory", 61);
    return nullptr;
  }
  IObject* obj = it->second->MakeInstance();
  if (obj) ApplyObjectDefaults(*obj);
  return obj;
}

SObjectInfo SObjectFactoryMgr::BaseRegistryKey(const SObjectInfo& key) const {
  auto it = factories_.find(key);
  if (it == factories_.end()) return {};
  std::u16string base = it->second->BaseTagName();
  SObjectInfo base_key(base, key.Kind());
  if (base.empty() || base_key.Name() == key.Name()) return {};
  return base_key;
}

std::u16string SObjectFactoryMgr::BaseTagOf(const SObjectInfo& key) const {
  auto it = factories_.find(key);
  return it == factories_.end() ? std::u16string() : it->second->BaseTagName();
}

void SObjectFactoryMgr::ApplyObjectDefaults(IObject&) const {}

}  // namespace LOOM
