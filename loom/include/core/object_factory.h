// The registry of object factories: markup tags resolve to classes only through it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/object.h"

namespace LOOM {

// Registry key: the tag folded to lower case and the object kind.
class SObjectInfo {
 public:
  SObjectInfo() = default;
  SObjectInfo(std::u16string_view name, int kind);
  const std::u16string& Name() const { return name_; }
  int Kind() const { return kind_; }
  bool IsEmpty() const { return name_.empty(); }
  friend bool operator==(const SObjectInfo&, const SObjectInfo&) = default;
  std::size_t Hash() const;

 private:
  std::u16string name_;
  int kind_ = ObjectKind::Undef;
};

struct SObjectInfoHash {
  std::size_t operator()(const SObjectInfo& k) const { return k.Hash(); }
};

class SObjectFactory {
 public:
  virtual ~SObjectFactory() = default;
  // A new object with one reference.
  virtual IObject* MakeInstance() const = 0;
  virtual std::u16string BaseTagName() const = 0;
  virtual SObjectInfo RegistryKey() const = 0;
  virtual std::unique_ptr<SObjectFactory> CopyFactory() const = 0;
};

// Factory of one class T that declares kClassTag, kBaseTag and kKind.
template <class T>
class TplSObjectFactory final : public SObjectFactory {
 public:
  IObject* MakeInstance() const override { return new T(); }
  std::u16string BaseTagName() const override { return std::u16string(T::kBaseTag); }
  SObjectInfo RegistryKey() const override { return SObjectInfo(T::kClassTag, T::kKind); }
  std::unique_ptr<SObjectFactory> CopyFactory() const override { return std::make_unique<TplSObjectFactory>(); }
};

// Factory whose tag and base are known only at run time; the maker receives them. Used
// for tags whose class is a plain variant of its base (see docs/toolkit.md).
class SRuntimeObjectFactory final : public SObjectFactory {
 public:
  using Maker = IObject* (*)(std::u16string_view tag, std::u16string_view base_tag, int kind);
  SRuntimeObjectFactory(std::u16string tag, std::u16string base_tag, int kind, Maker maker)
      : tag_(std::move(tag)), base_(std::move(base_tag)), kind_(kind), maker_(maker) {}
  IObject* MakeInstance() const override { return maker_(tag_, base_, kind_); }
  std::u16string BaseTagName() const override { return base_; }
  SObjectInfo RegistryKey() const override { return SObjectInfo(tag_, kind_); }
  std::unique_ptr<SObjectFactory> CopyFactory() const override {
    return std::make_unique<SRuntimeObjectFactory>(tag_, base_, kind_, maker_);
  }

 private:
  std::u16string tag_;
  std::u16string base_;
  int kind_;
  Maker maker_;
};

class SObjectFactoryMgr {
 public:
  SObjectFactoryMgr();
  virtual ~SObjectFactoryMgr();
  SObjectFactoryMgr(const SObjectFactoryMgr&) = delete;
  SObjectFactoryMgr& operator=(const SObjectFactoryMgr&) = delete;

  // Stores a copy of the factory under its key. An existing key is kept unless replace.
  bool AddFactory(const SObjectFactory& factory, bool replace = false);
  template <class T>
  bool Register(bool replace = false) {
    return AddFactory(TplSObjectFactory<T>(), replace);
  }
  bool DropFactory(const SObjectInfo& key);
  bool HasFactory(const SObjectInfo& key) const { return factories_.count(key) != 0; }
  // A new object with one reference, object defaults applied; nullptr with a warning
  // when no factory is registered.
  IObject* CreateObject(const SObjectInfo& key) const;
  // CreateObject for a caller that wants a T: null when nothing was made or when what
  // was made is no T (it is released again).
  template <class T>
  SAutoRefPtr<T> CreateObjectAs(const SObjectInfo& key) const {
    auto made = SAutoRefPtr<IObject>::Adopt(CreateObject(key));
    return SAutoRefPtr<T>(dynamic_cast<T*>(made.get()));
  }
  // The registered class's base tag (same kind) when it differs from the given tag;
  // otherwise, or when nothing is registered, an empty key of kind -1.
  SObjectInfo BaseRegistryKey(const SObjectInfo& key) const;
  // The registered factory's base tag as written (not folded); empty when none.
  std::u16string BaseTagOf(const SObjectInfo& key) const;
  std::size_t FactoryCount() const { return factories_.size(); }

 protected:
  // Hook for defaults of new elements (kind 1); the application applies the class
  // defaults of the current UI definitions.
  virtual void ApplyObjectDefaults(IObject& obj) const;

 private:
  std::unordered_map<SObjectInfo, std::unique_ptr<SObjectFactory>, SObjectInfoHash> factories_;
};

}  // namespace LOOM
