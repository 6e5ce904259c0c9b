// PropertyTableT<C>: the mechanics every collectable class shares over its
// property table: building the registry, describing, looking up, calling
// getters, listing names and handing out property information. A class C
// supplies only `static std::span<const PropertySpec<C>> Properties()`.
//
// Every function here expects the caller to hold C's class lock.
#pragma once

#include "Port_Thr.h"
#include "UtilC_SharedNcdColl.h"
#include "UtilI_VectorHelper.h"

namespace UtilC::SharedNcd {

template <class C>
class PropertyTableT {
 public:
  using Statics = ClassStatics<C>;

  // The class's description of `name`, the first table row that matches.
  static Port::StringBase DescribeProperty(const char* name) {
    for (const PropertySpec<C>& row : C::Properties()) {
      if (ComparePropertyNames(row.name, name) == 0) return TranslateDescription(row.description);
    }
    return {};
  }

  // The registry, built from the table on first use.
  static PropertyRegistry<C>& Registry() {
    PropertyRegistry<C>& registry = Statics::Get().registry;
    if (!registry.empty()) return registry;
    for (const PropertySpec<C>& row : C::Properties()) {
      PropertyDef<C> def;
      def.name = row.name;
      def.kind = row.kind;
      def.description = DescribeProperty(row.name);
      def.getter = row.getter;
      registry.emplace(def.name, std::move(def));  // a name present already stays
    }
    return registry;
  }

  static PropertyDef<C>* Find(const Port::StringBase& name) {
    PropertyRegistry<C>& registry = Registry();
    auto it = registry.lower_bound(name);
    if (it == registry.end() || ComparePropertyNames(it->first.c_str(), name.c_str()) > 0) return nullptr;
    return &it->second;
  }

  // Looks `name` up, makes a new value object in `*value` (releasing what
  // it held) and calls the getter; false when any step fails.
  static CitI::Result GetValue(C* self, const Port::StringBase& name, UtilI::IPropertyValue** value) {
    PropertyDef<C>* def = Find(name);
    if (!def || !def->getter) return 0;
    ReplaceOut(value, CreateService<UtilI::IPropertyValue>(Statics::Get().services));
    if (!*value) return 0;
    return (self->*(def->getter))(value);
  }

  // Refreshes the entry's information object and hands out a new
  // reference in `*info` (releasing what it held); false for an unknown
  // name (then `*info` is untouched) or when no object can be made.
  static CitI::Result GetInfo(const Port::StringBase& name, UtilI::IPropertyInfo** info) {
    PropertyDef<C>* def = Find(name);
    if (!def || !def->RefreshInfo(Statics::Get().services)) return 0;
    ReplaceOut(info, def->info);
    return 1;
  }

  // Appends the registry's names, in registry order.
  static void AddNames(UtilI::IStringContainer& names) {
    for (const auto& [name, def] : Registry()) names.Add(name);
  }

  // A new iterator over the class's cached name list, which `fill` fills
  // on first use.
  template <class Fill>
  static CitI::Result NameIterator(UtilI::IStringIterator** out, Fill fill) {
    if (!out) return 0;
    CommonI::RefCountPtr<UtilI::IStringContainer>& names = Statics::Get().names;
    if (!names) {
      names = UtilI::MakeStringContainer();
      if (names) fill(*names);
    }
    CommonI::RefCountPtr<UtilI::IStringIterator> iterator;
    if (names) names->CreateIterator(iterator);
    ReplaceOut(out, std::move(iterator));
    return 1;
  }
};

}  // namespace UtilC::SharedNcd
