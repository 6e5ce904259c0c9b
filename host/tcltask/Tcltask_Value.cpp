#include "Tcltask_Value.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "UtilI_ITclCollectable.h"
#include "UtilI_VectorHelper.h"

namespace Tcltask {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Spelt out for compilers without deduction for aggregates (clang before 17).
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

struct KindInfo {
  std::uint32_t kind;
  const char* name;
};

// In the order of the alternatives of Value::Data.
constexpr KindInfo kKinds[] = {{UtilI::kValueNone, "none"},     {UtilI::kValueInt, "int"},
                               {UtilI::kValueDouble, "double"}, {UtilI::kValueString, "string"},
                               {UtilI::kValueBool, "bool"},     {UtilI::kValueObject, "object"},
                               {UtilI::kValueList, "list"},     {UtilI::kValueInt64, "int64"},
                               {UtilI::kValueUInt, "uint"},     {UtilI::kValueStrings, "strings"}};

// One address per object, whichever face it was given by.
const void* Identity(const Value::Object& object) {
  const CommonI::IRefCount* counter = CommonI::RefCountOf(object.get());
  return counter ? static_cast<const void*>(counter) : object.get();
}

// An object's name, or "" for null, a non-collectable or a nameless one.
Port::StringBase NameOf(CitI::IInterface* object) {
  Port::StringBase name;
  auto* collectable =
      object
          ? static_cast<UtilI::ITclCollectable*>(object->QueryInterface(UtilI::IID_ITclCollectable))
          : nullptr;
  if (collectable && !collectable->GetName(name)) name.Empty();
  return name;
}

Port::StringBase DoubleText(double v) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return Port::StringBase(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

template <class T>
Port::StringBase Printed(const char* format, T v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, v);
  return buffer;
}

using I = UtilI::IPropertyValue;

template <class T, CitI::Result (I::*Getter)(T&)>
void ReadAs(I& source, Value& out) {
  T v{};
  if ((source.*Getter)(v)) out.Set(v);
}

void ReadObject(I& source, Value& out) {
  Value::Object object;
  if (source.GetObject(object)) out.SetObject(object.get());
}

void ReadStrings(I& source, Value& out) {
  CommonI::RefCountPtr<UtilI::IStringContainer> strings;
  if (source.GetStrings(strings)) out.SetStrings(strings);
}

// How a value of each kind is read through the interface.
struct Reader {
  std::uint32_t kind;
  void (*read)(I& source, Value& out);
};
constexpr Reader kReaders[] = {
    {UtilI::kValueInt, &ReadAs<std::int32_t, &I::GetInt>},
    {UtilI::kValueDouble, &ReadAs<double, &I::GetDouble>},
    {UtilI::kValueString, &ReadAs<Port::StringBase, &I::GetString>},
    {UtilI::kValueBool, &ReadAs<bool, &I::GetBool>},
    {UtilI::kValueObject, &ReadObject},
    {UtilI::kValueList, &ReadObject},
    {UtilI::kValueInt64, &ReadAs<std::int64_t, &I::GetInt64>},
    {UtilI::kValueUInt, &ReadAs<std::uint32_t, &I::GetUInt>},
    {UtilI::kValueStrings, &ReadStrings},
};

Port::StringBase Joined(const Value::Strings& strings) {
  Port::StringBase text;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    if (i > 0) text += ' ';
    text += strings[i];
  }
  return text;
}

// The names of a list's items.
Port::StringBase ListText(CitI::IInterface* object) {
  auto* list = static_cast<UtilI::IObjectList*>(object->QueryInterface(UtilI::IID_IObjectList));
  Value::Strings names(list ? list->GetSize() : 0);
  for (std::uint64_t i = 0; i < names.size(); ++i) {
    CommonI::RefCountPtr<UtilI::ITclCollectable> item;
    list->GetItem(i, item);
    names[i] = NameOf(item.get());
  }
  return Joined(names);
}

}  // namespace

bool operator==(const Value::ObjectRef& a, const Value::ObjectRef& b) {
  return Identity(a.ptr) == Identity(b.ptr);
}
bool operator==(const Value::ListRef& a, const Value::ListRef& b) {
  return Identity(a.ptr) == Identity(b.ptr);
}

std::uint32_t Value::GetKind() const {
  return kKinds[m_data.index()].kind;
}

const char* Value::GetKindName() const {
  return kKinds[m_data.index()].name;
}

void Value::SetObject(CitI::IInterface* object) {
  if (object && object->QueryInterface(UtilI::IID_IObjectList)) {
    m_data = ListRef{Object(object)};
  } else {
    m_data = ObjectRef{Object(object)};
  }
}

Value::Strings CopyStrings(const CommonI::RefCountPtr<UtilI::IStringContainer>& container) {
  Value::Strings strings;
  CommonI::RefCountPtr<UtilI::IStringIterator> it;
  if (container && container->CreateIterator(it)) {
    for (; !it->IsDone(); it->Next())
      strings.push_back(it->GetCurrent());
  }
  return strings;
}

CommonI::RefCountPtr<UtilI::IStringContainer> MakeContainer(const Value::Strings& strings) {
  CommonI::RefCountPtr<UtilI::IStringContainer> copy = UtilI::MakeStringContainer();
  for (std::size_t i = 0; copy && i < strings.size(); ++i)
    copy->Add(strings[i]);
  return copy;
}

void Value::SetStrings(const CommonI::RefCountPtr<UtilI::IStringContainer>& container) {
  m_data = CopyStrings(container);
}

bool Value::GetObject(Object& out) const {
  if (const auto* object = std::get_if<ObjectRef>(&m_data)) {
    out = object->ptr;
    return true;
  }
  if (const auto* list = std::get_if<ListRef>(&m_data)) {
    out = list->ptr;
    return true;
  }
  return false;
}

bool Value::GetStrings(CommonI::RefCountPtr<UtilI::IStringContainer>& out) const {
  const auto* strings = std::get_if<Strings>(&m_data);
  if (!strings) return false;
  CommonI::RefCountPtr<UtilI::IStringContainer> copy = MakeContainer(*strings);
  if (!copy) return false;
  out = std::move(copy);
  return true;
}

bool Value::GetText(Port::StringBase& out) const {
  if (IsEmpty()) return false;
  out = std::visit(Overloaded{[](std::monostate) { return Port::StringBase(); },
                              [](std::int32_t v) { return Printed("%" PRId32, v); },
                              [](double v) { return DoubleText(v); },
                              [](const Port::StringBase& v) { return v; },
                              [](bool v) { return Port::StringBase(v ? "true" : "false"); },
                              [](const ObjectRef& v) { return NameOf(v.ptr.get()); },
                              [](const ListRef& v) { return ListText(v.ptr.get()); },
                              [](std::int64_t v) { return Printed("%" PRId64, v); },
                              [](std::uint32_t v) { return Printed("%" PRIu32, v); },
                              [](const Strings& v) { return Joined(v); }},
                   m_data);
  return true;
}

bool Value::operator==(const Value& other) const {
  return m_data == other.m_data;
}

Value Value::From(UtilI::IPropertyValue& source) {
  Value out;
  const std::uint32_t kind = source.GetKind();
  for (const Reader& reader : kReaders) {
    if (reader.kind == kind) reader.read(source, out);
  }
  return out;
}

CitI::Result Value::StoreInto(UtilI::IPropertyValue& target) const {
  return std::visit(Overloaded{[&](std::monostate) { return target.Clear(); },
                               [&](std::int32_t v) { return target.SetInt(v); },
                               [&](double v) { return target.SetDouble(v); },
                               [&](const Port::StringBase& v) { return target.SetString(v); },
                               [&](bool v) { return target.SetBool(v); },
                               [&](const ObjectRef& v) { return target.SetObject(v.ptr.get()); },
                               [&](const ListRef& v) { return target.SetObject(v.ptr.get()); },
                               [&](std::int64_t v) { return target.SetInt64(v); },
                               [&](std::uint32_t v) { return target.SetUInt(v); },
                               [&](const Strings&) {
                                 CommonI::RefCountPtr<UtilI::IStringContainer> strings;
                                 return GetStrings(strings) ? target.SetStrings(strings)
                                                            : CitI::Result{0};
                               }},
                    m_data);
}

}  // namespace Tcltask
