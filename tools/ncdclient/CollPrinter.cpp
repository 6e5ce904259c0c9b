#include "CollPrinter.h"

#include <cstring>

#include "UtilI_IStringContainer.h"
#include "UtilI_TcltaskHelpers.h"

namespace ncdclient {

namespace {

const char* KindName(std::uint32_t kind) {
  switch (kind) {
    case 2: return "integer";
    case 3: return "double";
    case 4: return "string";
    case 5: return "boolean";
    case 6: return "object";
    case 8: return "list";
    default: return "unknown";
  }
}

UtilI::IObjectList* ListOf(const CommonI::RefCountPtr<CitI::IInterface>& object) {
  return object ? static_cast<UtilI::IObjectList*>(object->QueryInterface(UtilI::IID_IObjectList)) : nullptr;
}

// A description on one line (its closing line feed left out).
std::string OneLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

std::string NameOf(const CollPtr& coll) {
  Port::StringBase name;
  return coll && coll->GetName(name) ? name.str() : "<stale>";
}

ValuePtr ValueOf(const CollPtr& coll, const char* name) {
  UtilI::IPropertyValue* raw = nullptr;
  const bool found = coll && coll->GetPropertyValue(name, &raw);
  ValuePtr value = ValuePtr::Adopt(raw);
  return found ? value : ValuePtr();
}

std::vector<CollPtr> Items(const ValuePtr& value) {
  std::vector<CollPtr> items;
  CommonI::RefCountPtr<CitI::IInterface> object;
  if (value) value->GetObject(object);
  UtilI::IObjectList* list = ListOf(object);
  for (std::uint64_t i = 0; list && i < list->GetSize(); ++i) {
    items.emplace_back();
    list->GetItem(i, items.back());
  }
  return items;
}

std::string Render(const ValuePtr& value, std::size_t maxItems) {
  if (!value) return "-";
  CommonI::RefCountPtr<CitI::IInterface> object;
  value->GetObject(object);
  if (value->GetKind() == UtilI::kValueList) {
    const std::vector<CollPtr> items = Items(value);
    std::string text = "[";
    for (std::size_t i = 0; i < items.size() && i < maxItems; ++i) text += (i ? " " : "") + NameOf(items[i]);
    if (items.size() > maxItems) text += " ... (" + std::to_string(items.size()) + " in all)";
    return text + "]";
  }
  if (value->GetKind() == UtilI::kValueObject) {
    if (!object) return "none";
    CollPtr coll(static_cast<UtilI::ITclCollectable*>(object->QueryInterface(UtilI::IID_ITclCollectable)));
    return coll ? NameOf(coll) : "(object)";
  }
  Port::StringBase text;
  return value->GetText(text) ? "\"" + text.str() + "\"" : "-";
}

std::vector<std::string> PropertyNames(const CollPtr& coll) {
  std::vector<std::string> names;
  UtilI::IStringIterator* raw = nullptr;
  if (!coll || !coll->GetPropertyNames(&raw)) return names;
  auto it = CommonI::RefCountPtr<UtilI::IStringIterator>::Adopt(raw);
  for (; it && !it->IsDone(); it->Next()) names.push_back(it->GetCurrent().str());
  return names;
}

const char* BlockClass(const CollPtr& block) {
  static const std::pair<const char*, const char*> kFirstProperty[] = {
      {"Nets", "TopColl"},   {"Reference Block", "HmInstColl"}, {"Configuration", "CompColl"},
      {"Bank", "IobColl"},   {"Equation", "BelColl"},
  };
  const std::vector<std::string> names = PropertyNames(block);
  for (const auto& [first, className] : kFirstProperty) {
    if (!names.empty() && names.front() == first) return className;
  }
  return "BlockColl";
}

void PrintProperties(std::FILE* out, const CollPtr& coll, const std::string& indent) {
  for (const std::string& name : PropertyNames(coll))
    std::fprintf(out, "%s%-16s %s\n", indent.c_str(), name.c_str(), Render(ValueOf(coll, name.c_str())).c_str());
}

void PrintDescriptions(std::FILE* out, const CollPtr& coll, const char* className) {
  static std::set<std::string> described;
  if (!described.insert(className).second) return;
  std::fprintf(out, "%s:\n", className);
  for (const std::string& name : PropertyNames(coll)) {
    UtilI::IPropertyInfo* raw = nullptr;
    if (!coll->GetPropertyInfo(name, &raw)) continue;
    auto info = CommonI::RefCountPtr<UtilI::IPropertyInfo>::Adopt(raw);
    Port::StringBase description;
    info->GetDescription(description);
    std::fprintf(out, "  %-16s %-8s %s\n", name.c_str(), KindName(info->GetKind()),
                 OneLine(description.str()).c_str());
  }
}

}  // namespace ncdclient
