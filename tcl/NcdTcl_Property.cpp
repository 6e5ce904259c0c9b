#include "NcdTcl_Property.h"

#include <cctype>
#include <set>

#include "NcdTcl_Object.h"

namespace NcdTcl {

namespace {

// The text of a named value's value.
Tcl_Obj* NamedValueText(UtilI::INamedValue* named) {
  ValueRef value;
  named->GetValue(value);
  return value ? ToTcl(value.get()) : Tcl_NewObj();
}

// An item of an object list: an object value, the name and value of a
// named value, or the item's name when it is of no kind we know.
void AppendItem(Tcl_Obj* list, UtilI::ITclCollectable* item) {
  if (auto* named =
          static_cast<UtilI::INamedValue*>(item->QueryInterface(UtilI::IID_INamedValue))) {
    Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(named->GetValueName().c_str(), -1));
    Tcl_ListObjAppendElement(nullptr, list, NamedValueText(named));
    return;
  }
  if (Tcl_Obj* object = NewObject(item))
    return (void)Tcl_ListObjAppendElement(nullptr, list, object);
  Port::StringBase name;
  item->GetName(name);
  Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(name.c_str(), -1));
}

Tcl_Obj* ObjectToTcl(UtilI::IPropertyValue* value) {
  CommonI::RefCountPtr<CitI::IInterface> object;
  value->GetObject(object);
  auto* coll =
      object
          ? static_cast<UtilI::ITclCollectable*>(object->QueryInterface(UtilI::IID_ITclCollectable))
          : nullptr;
  Tcl_Obj* result = coll ? NewObject(coll) : nullptr;
  return result ? result : Tcl_NewObj();
}

Tcl_Obj* ListToTcl(UtilI::IPropertyValue* value) {
  Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
  for (const CollRef& item : ListItems(value))
    AppendItem(list, item.get());
  return list;
}

bool IsNamed(UtilI::ITclCollectable* item) {
  return item->QueryInterface(UtilI::IID_INamedValue) != nullptr;
}

Tcl_Obj* StringsToTcl(UtilI::IPropertyValue* value) {
  Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
  CommonI::RefCountPtr<UtilI::IStringContainer> strings;
  CommonI::RefCountPtr<UtilI::IStringIterator> it;
  if (value->GetStrings(strings) && strings) strings->CreateIterator(it);
  for (; it && !it->IsDone(); it->Next())
    Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(it->GetCurrent().c_str(), -1));
  return list;
}

Tcl_Obj* TextToTcl(UtilI::IPropertyValue* value) {
  Port::StringBase text;
  value->GetText(text);
  return Tcl_NewStringObj(text.c_str(), static_cast<int>(text.Length()));
}

}  // namespace

ValueRef ReadValue(UtilI::ITclCollectable* coll, const char* name) {
  UtilI::IPropertyValue* raw = nullptr;
  coll->GetPropertyValue(Port::StringBase(name), &raw);
  ValueRef value = ValueRef::Adopt(raw);
  if (value && value->GetKind() == UtilI::kValueNone) value.Reset();
  return value;
}

std::string PropertyText(UtilI::ITclCollectable* coll, const char* name) {
  ValueRef value = ReadValue(coll, name);
  Port::StringBase text;
  if (value) value->GetText(text);
  return text.str();
}

bool HasProperty(UtilI::ITclCollectable* coll, const char* name) {
  UtilI::IPropertyInfo* raw = nullptr;
  coll->GetPropertyInfo(Port::StringBase(name), &raw);
  CommonI::RefCountPtr<UtilI::IPropertyInfo> info =
      CommonI::RefCountPtr<UtilI::IPropertyInfo>::Adopt(raw);
  return static_cast<bool>(info);
}

Tcl_Obj* ToTcl(UtilI::IPropertyValue* value) {
  std::int32_t i = 0;
  std::int64_t wide = 0;
  std::uint32_t u = 0;
  double d = 0;
  switch (value->GetKind()) {
    case UtilI::kValueInt:
      return value->GetInt(i), Tcl_NewIntObj(i);
    case UtilI::kValueInt64:
      return value->GetInt64(wide), Tcl_NewWideIntObj(wide);
    case UtilI::kValueUInt:
      return value->GetUInt(u), Tcl_NewWideIntObj(u);
    case UtilI::kValueDouble:
      return value->GetDouble(d), Tcl_NewDoubleObj(d);
    case UtilI::kValueObject:
      return ObjectToTcl(value);
    case UtilI::kValueList:
      return ListToTcl(value);
    case UtilI::kValueStrings:
      return StringsToTcl(value);
    default:
      return TextToTcl(value);  // strings, bools ("true"/"false"), none ("")
  }
}

CollRef ObjectValue(UtilI::ITclCollectable* coll, const char* name) {
  ValueRef value = ReadValue(coll, name);
  CommonI::RefCountPtr<CitI::IInterface> object;
  if (!value || value->GetKind() != UtilI::kValueObject || !value->GetObject(object) || !object)
    return CollRef();
  return CollRef(
      static_cast<UtilI::ITclCollectable*>(object->QueryInterface(UtilI::IID_ITclCollectable)));
}

std::vector<CollRef> ListItems(UtilI::IPropertyValue* value) {
  std::vector<CollRef> items;
  CommonI::RefCountPtr<CitI::IInterface> object;
  if (value->GetKind() != UtilI::kValueList || !value->GetObject(object) || !object) return items;
  auto* list = static_cast<UtilI::IObjectList*>(object->QueryInterface(UtilI::IID_IObjectList));
  const std::uint64_t size = list ? list->GetSize() : 0;
  items.reserve(size);
  for (std::uint64_t i = 0; i < size; ++i) {
    CollRef item;
    if (list->GetItem(i, item) && item) items.push_back(std::move(item));
  }
  return items;
}

Tcl_Obj* ListHeadToTcl(UtilI::IPropertyValue* value, std::size_t chars, int& length) {
  Tcl_Obj* head = Tcl_NewListObj(0, nullptr);
  length = 0;
  bool full = false;
  for (const CollRef& item : ListItems(value)) {
    if (full) {
      length += IsNamed(item.get()) ? 2 : 1;  // a named value is two elements
      continue;
    }
    AppendItem(head, item.get());
    Tcl_ListObjLength(nullptr, head, &length);
    full = static_cast<std::size_t>(Tcl_NumUtfChars(Tcl_GetString(head), -1)) > chars;
  }
  return head;
}

std::vector<std::string> PropertyNames(UtilI::ITclCollectable* coll) {
  std::vector<std::string> names;
  UtilI::IStringIterator* raw = nullptr;
  coll->GetPropertyNames(&raw);
  CommonI::RefCountPtr<UtilI::IStringIterator> it =
      CommonI::RefCountPtr<UtilI::IStringIterator>::Adopt(raw);
  for (; it && !it->IsDone(); it->Next())
    names.push_back(it->GetCurrent().str());
  return names;
}

std::string JoinedPropertyNames(UtilI::ITclCollectable* coll) {
  return JoinedPropertyNames(std::vector<UtilI::ITclCollectable*>{coll});
}

std::vector<NamedProperty> PropertiesOfAll(const std::vector<UtilI::ITclCollectable*>& objects) {
  std::vector<NamedProperty> out;
  std::set<std::string> seen;
  for (UtilI::ITclCollectable* coll : objects)
    for (std::string& name : PropertyNames(coll))
      if (seen.insert(name).second) out.push_back({std::move(name), coll});
  return out;
}

std::string JoinedPropertyNames(const std::vector<UtilI::ITclCollectable*>& objects) {
  std::string names;
  for (const NamedProperty& property : PropertiesOfAll(objects))
    names += (names.empty() ? "" : ", ") + property.name;
  return names;
}

bool DescribeProperty(UtilI::ITclCollectable* coll, const char* name, PropertyDescription& out) {
  UtilI::IPropertyInfo* raw = nullptr;
  coll->GetPropertyInfo(Port::StringBase(name), &raw);
  CommonI::RefCountPtr<UtilI::IPropertyInfo> info =
      CommonI::RefCountPtr<UtilI::IPropertyInfo>::Adopt(raw);
  if (!info) return false;
  Port::StringBase text;
  info->GetName(text);
  out.name = text.str();
  out.kind = KindName(info->GetKind());
  text.Empty();
  info->GetDescription(text);
  out.description = text.str();
  while (!out.description.empty() && out.description.back() == '\n')
    out.description.pop_back();
  return true;
}

std::string NormalName(const std::string& name) {
  std::string normal;
  for (char c : name)
    if (c != ' ' && c != '_' && c != '-')
      normal += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return normal;
}

bool IsDelayProperty(const std::string& name) {
  const std::string normal = NormalName(name);
  return normal == "maxdelay" || normal == "skewvalue";
}

const char* KindName(std::uint32_t kind) {
  static const std::pair<std::uint32_t, const char*> kNames[] = {
      {UtilI::kValueInt, "int"},        {UtilI::kValueDouble, "double"},
      {UtilI::kValueString, "string"},  {UtilI::kValueBool, "bool"},
      {UtilI::kValueObject, "object"},  {UtilI::kValueList, "list"},
      {UtilI::kValueInt64, "int64"},    {UtilI::kValueUInt, "uint"},
      {UtilI::kValueStrings, "strings"}};
  for (const auto& [number, name] : kNames)
    if (number == kind) return name;
  return "none";
}

}  // namespace NcdTcl
