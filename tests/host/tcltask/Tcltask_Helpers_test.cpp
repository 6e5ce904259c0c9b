// The Tcl helper component, loaded by name and used through its interfaces
// only, as the collectables use it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "SiblingComponents.h"
#include "UtilI_VectorHelper.h"

using CommonI::RefCountPtr;
using ncdtest::CreateAs;
using ncdtest::OutRef;
using ncdtest::RefCountOf;
using UtilI::IObjectList;
using UtilI::IPropertyInfo;
using UtilI::IPropertyValue;
using UtilI::ITclCollectable;

namespace {

class Helpers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory(UtilI::kTcltaskHelpersLibrary));
  }
  void SetUp() override {
    m_factory = CreateAs<UtilI::INamedValueFactory>(UtilI::CLSID_NamedValueFactory,
                                                    UtilI::IID_INamedValueFactory);
    ASSERT_TRUE(m_factory);
    ASSERT_EQ(Live(UtilI::kHelperAll), 0u);
  }
  // Every test gives back every reference it was handed.
  void TearDown() override { EXPECT_EQ(Live(UtilI::kHelperAll), 0u); }

  std::uint64_t Live(std::uint32_t kind) { return m_factory->GetLiveCount(kind); }
  RefCountPtr<IPropertyValue> NewValue() {
    return CreateAs<IPropertyValue>(UtilI::CLSID_PropertyValue, UtilI::IID_IPropertyValue);
  }
  RefCountPtr<IObjectList> NewList() {
    return CreateAs<IObjectList>(UtilI::CLSID_ObjectList, UtilI::IID_IObjectList);
  }
  RefCountPtr<IPropertyInfo> NewInfo() {
    return CreateAs<IPropertyInfo>(UtilI::CLSID_PropertyInfo, UtilI::IID_IPropertyInfo);
  }
  RefCountPtr<ITclCollectable> Named(const char* name, const char* text) {
    RefCountPtr<IPropertyValue> value;
    m_factory->MakeStringValue(value, text);
    return m_factory->MakeNamedValue(name, value.get());
  }
  static std::string Text(IPropertyValue* value) {
    Port::StringBase text("<untouched>");
    value->GetText(text);
    return text.str();
  }

  RefCountPtr<UtilI::INamedValueFactory> m_factory;
};

TEST_F(Helpers, EveryClassAnswersItsFaceAndItsCountingFace) {
  struct Class {
    Port::XUID classId, iid;
    std::uint32_t kind;
  };
  const Class classes[] = {
      {UtilI::CLSID_PropertyValue, UtilI::IID_IPropertyValue, UtilI::kHelperValues},
      {UtilI::CLSID_ObjectList, UtilI::IID_IObjectList, UtilI::kHelperLists},
      {UtilI::CLSID_PropertyInfo, UtilI::IID_IPropertyInfo, UtilI::kHelperInfos},
      {UtilI::CLSID_NamedValueFactory, UtilI::IID_INamedValueFactory, UtilI::kHelperAll}};
  for (const Class& c : classes) {
    SCOPED_TRACE(c.iid.GetValue().str());
    RefCountPtr<CitI::IInterface> object = CitP::Factory::CreateInstanceRef(c.classId);
    ASSERT_TRUE(object);
    EXPECT_EQ(RefCountOf(object.get()), 1);
    auto* face = static_cast<CitI::IInterface*>(object->QueryInterface(c.iid));
    ASSERT_NE(face, nullptr);
    void* counter = face->QueryInterface(CommonI::IID_IRefCount);
    EXPECT_NE(counter, nullptr);
    EXPECT_EQ(face->QueryInterface(CitI::IID_IInterface), counter);
    EXPECT_EQ(object->QueryInterface(CommonI::IID_IRefCount), counter);
    EXPECT_EQ(face->QueryInterface(c.iid), face);
    EXPECT_EQ(face->QueryInterface(UtilI::IID_ITclCollectable), nullptr);
    EXPECT_EQ(RefCountOf(face), 1);  // asking for faces takes no reference
    if (c.kind != UtilI::kHelperAll) {
      EXPECT_EQ(Live(c.kind), 1u);
      EXPECT_EQ(Live(UtilI::kHelperAll), 1u);
    }
  }
  EXPECT_EQ(Live(UtilI::kHelperAll + 1), 0u);
  EXPECT_FALSE(CitP::Factory::CreateInstanceRef(UtilI::IID_IPropertyValue));  // not a class
}

// Each setter, the getter of its kind, the kind's number and name, and the text form.
TEST_F(Helpers, ScalarValuesRoundTripWithTheirTextForms) {
  struct Case {
    const char* what;
    std::function<CitI::Result(IPropertyValue&)> set;
    std::function<bool(IPropertyValue&)> check;
    std::uint32_t kind;
    const char* kindName;
    const char* text;
  };
  const Case cases[] = {
      {"int", [](IPropertyValue& v) { return v.SetInt(std::numeric_limits<std::int32_t>::min()); },
       [](IPropertyValue& v) {
         std::int32_t x = 0;
         return v.GetInt(x) && x == std::numeric_limits<std::int32_t>::min();
       },
       UtilI::kValueInt, "int", "-2147483648"},
      {"double", [](IPropertyValue& v) { return v.SetDouble(1.8); },
       [](IPropertyValue& v) {
         double x = 0;
         return v.GetDouble(x) && x == 1.8;
       },
       UtilI::kValueDouble, "double", "1.8"},
      {"string", [](IPropertyValue& v) { return v.SetString("LVCMOS 25"); },
       [](IPropertyValue& v) {
         Port::StringBase x;
         return v.GetString(x) && x.str() == "LVCMOS 25";
       },
       UtilI::kValueString, "string", "LVCMOS 25"},
      {"bool", [](IPropertyValue& v) { return v.SetBool(true); },
       [](IPropertyValue& v) {
         bool x = false;
         return v.GetBool(x) && x;
       },
       UtilI::kValueBool, "bool", "true"},
      {"int64", [](IPropertyValue& v) { return v.SetInt64(-(std::int64_t{1} << 40)); },
       [](IPropertyValue& v) {
         std::int64_t x = 0;
         return v.GetInt64(x) && x == -(std::int64_t{1} << 40);
       },
       UtilI::kValueInt64, "int64", "-1099511627776"},
      {"uint", [](IPropertyValue& v) { return v.SetUInt(0xFFFFFFFFu); },
       [](IPropertyValue& v) {
         std::uint32_t x = 0;
         return v.GetUInt(x) && x == 0xFFFFFFFFu;
       },
       UtilI::kValueUInt, "uint", "4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RefCountPtr<IPropertyValue> value = NewValue();
    ASSERT_TRUE(value);
    EXPECT_EQ(c.set(*value), 1u);
    EXPECT_TRUE(c.check(*value));
    EXPECT_EQ(value->GetKind(), c.kind);
    EXPECT_EQ(value->GetKindName().str(), c.kindName);
    EXPECT_EQ(Text(value.get()), c.text);
    EXPECT_EQ(value->IsEmpty(), 0u);
    // Every other getter answers 0 and leaves its output alone.
    std::int32_t i = 7;
    double d = 7;
    Port::StringBase s("7");
    bool b = false;
    std::int64_t l = 7;
    std::uint32_t u = 7;
    RefCountPtr<CitI::IInterface> o;
    RefCountPtr<UtilI::IStringContainer> strings;
    const int answered = int(value->GetInt(i)) + int(value->GetDouble(d)) +
                         int(value->GetString(s)) + int(value->GetBool(b)) +
                         int(value->GetInt64(l)) + int(value->GetUInt(u)) +
                         int(value->GetObject(o)) + int(value->GetStrings(strings));
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(i, c.kind == UtilI::kValueInt ? std::numeric_limits<std::int32_t>::min() : 7);
    EXPECT_EQ(s.str(), c.kind == UtilI::kValueString ? "LVCMOS 25" : "7");
    EXPECT_EQ(b, c.kind == UtilI::kValueBool);
    EXPECT_FALSE(o);
    EXPECT_FALSE(strings);
  }
}

TEST_F(Helpers, DoubleTextIsTheShortestThatReadsBack) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{0.1 + 0.2, "0.30000000000000004"},
               {3.0, "3"},
               {-0.0, "-0"},
               {1e300, "1e+300"},
               {DBL_MIN, "2.2250738585072014e-308"},
               {-1.0 / 3, "-0.3333333333333333"},
               {HUGE_VAL, "inf"}};
  RefCountPtr<IPropertyValue> value = NewValue();
  for (const auto& c : cases) {
    value->SetDouble(c.value);
    const std::string text = Text(value.get());
    EXPECT_EQ(text, c.text);
    const double back = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&back, &c.value, sizeof back), 0) << text;
  }
  value->SetDouble(std::nan(""));
  EXPECT_EQ(Text(value.get()), "nan");
}

TEST_F(Helpers, ObjectValuesHoldTheirOwnReferenceAndShowNames) {
  RefCountPtr<ITclCollectable> a = Named("A6LUT", "O6=A1");
  RefCountPtr<ITclCollectable> b = Named("B6LUT", "O6=A2");
  RefCountPtr<IObjectList> list = NewList();
  list->Append(a.get());
  list->Append(b.get());
  RefCountPtr<IPropertyValue> value = NewValue();

  EXPECT_EQ(value->SetObject(a.get()), 1u);
  EXPECT_EQ(value->GetKind(), UtilI::kValueObject);
  EXPECT_EQ(value->GetKindName().str(), "object");
  EXPECT_EQ(RefCountOf(a.get()), 3);  // ours, the list's, the value's
  EXPECT_EQ(Text(value.get()), "A6LUT");
  RefCountPtr<CitI::IInterface> back;
  EXPECT_EQ(value->GetObject(back), 1u);
  EXPECT_EQ(CommonI::RefCountOf(back.get()), CommonI::RefCountOf(a.get()));
  back.Reset();

  // A list is told from one object by its face.
  auto* listAsObject = static_cast<CitI::IInterface*>(list->QueryInterface(CitI::IID_IInterface));
  EXPECT_EQ(value->SetObject(listAsObject), 1u);
  EXPECT_EQ(RefCountOf(a.get()), 2);  // the value dropped its reference
  EXPECT_EQ(value->GetKind(), UtilI::kValueList);
  EXPECT_EQ(value->GetKindName().str(), "list");
  EXPECT_EQ(Text(value.get()), "A6LUT B6LUT");
  list.Reset();  // the value keeps the list alive
  EXPECT_EQ(Live(UtilI::kHelperLists), 1u);
  EXPECT_EQ(value->GetObject(back), 1u);
  auto* kept = static_cast<IObjectList*>(back->QueryInterface(UtilI::IID_IObjectList));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->GetSize(), 2u);
  back.Reset();

  // Null is an object value without an object; its text is empty, not absent.
  EXPECT_EQ(value->SetObject(nullptr), 1u);
  EXPECT_EQ(Live(UtilI::kHelperLists), 0u);
  EXPECT_EQ(value->GetKind(), UtilI::kValueObject);
  EXPECT_EQ(value->GetObject(back), 1u);
  EXPECT_FALSE(back);
  EXPECT_EQ(Text(value.get()), "");

  // An object that is not a collectable shows as "".
  RefCountPtr<IPropertyValue> other = NewValue();
  value->SetObject(other.get());
  EXPECT_EQ(Text(value.get()), "");
}

TEST_F(Helpers, StringListValuesAreCopies) {
  RefCountPtr<UtilI::IStringContainer> strings = UtilI::MakeStringContainer();
  strings->Add("X0Y0");
  strings->Add("X0Y1");
  RefCountPtr<IPropertyValue> value = NewValue();
  EXPECT_EQ(value->SetStrings(strings), 1u);
  strings->Add("X1Y0");  // after the copy
  EXPECT_EQ(value->GetKind(), UtilI::kValueStrings);
  EXPECT_EQ(value->GetKindName().str(), "strings");
  EXPECT_EQ(Text(value.get()), "X0Y0 X0Y1");
  RefCountPtr<UtilI::IStringContainer> out;
  EXPECT_EQ(value->GetStrings(out), 1u);
  EXPECT_NE(out.get(), strings.get());
  EXPECT_EQ(ncdtest::Strings(out), (std::vector<std::string>{"X0Y0", "X0Y1"}));
  out->Clear();  // the value's own strings stay
  EXPECT_EQ(Text(value.get()), "X0Y0 X0Y1");
  EXPECT_EQ(value->SetStrings({}), 1u);  // no container: no strings
  EXPECT_EQ(Text(value.get()), "");
}

TEST_F(Helpers, EmptyValuesClearCopyAndCompare) {
  RefCountPtr<IPropertyValue> value = NewValue();
  EXPECT_EQ(value->IsEmpty(), 1u);
  EXPECT_EQ(value->GetKind(), UtilI::kValueNone);
  EXPECT_EQ(value->GetKindName().str(), "none");
  Port::StringBase none;
  EXPECT_EQ(value->GetText(none), 0u);
  EXPECT_EQ(Text(value.get()), "<untouched>");

  RefCountPtr<ITclCollectable> item = Named("n", "v");
  RefCountPtr<IPropertyValue> copy = NewValue();
  value->SetObject(item.get());
  EXPECT_EQ(copy->Equals(value.get()), 0u);
  EXPECT_EQ(copy->CopyFrom(value.get()), 1u);
  EXPECT_EQ(RefCountOf(item.get()), 3);
  EXPECT_EQ(copy->Equals(value.get()), 1u);
  EXPECT_EQ(copy->Equals(nullptr), 0u);
  EXPECT_EQ(copy->CopyFrom(nullptr), 0u);
  EXPECT_EQ(copy->CopyFrom(copy.get()), 1u);  // itself: unchanged
  EXPECT_EQ(copy->Equals(value.get()), 1u);

  value->SetInt(1);
  copy->SetBool(true);
  EXPECT_EQ(copy->Equals(value.get()), 0u);  // kinds differ
  copy->SetInt(1);
  EXPECT_EQ(copy->Equals(value.get()), 1u);
  EXPECT_EQ(copy->Clear(), 1u);
  EXPECT_EQ(copy->IsEmpty(), 1u);
  EXPECT_EQ(RefCountOf(item.get()), 1);

  testing::internal::CaptureStdout();
  value->SetString("EQN");
  EXPECT_EQ(value->Dump(), 0);
  copy->Dump();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "PropertyValue (string) EQN\nPropertyValue (none) \n");
}

TEST_F(Helpers, ListsHoldOneReferenceOnEachItem) {
  RefCountPtr<IObjectList> list = NewList();
  RefCountPtr<ITclCollectable> a = Named("a", "1");
  EXPECT_EQ(list->Append(nullptr), 0u);
  EXPECT_EQ(list->Append(a.get()), 1u);
  EXPECT_EQ(list->Append(a.get()), 1u);  // twice is twice
  EXPECT_EQ(list->GetSize(), 2u);
  EXPECT_EQ(RefCountOf(a.get()), 3);

  RefCountPtr<ITclCollectable> item = a;
  EXPECT_EQ(list->GetItem(1, item), 1u);
  EXPECT_EQ(item.get(), a.get());
  EXPECT_EQ(list->GetItem(2, item), 0u);
  EXPECT_FALSE(item);
  EXPECT_EQ(list->Clear(), 1u);
  EXPECT_EQ(list->GetSize(), 0u);
  EXPECT_EQ(RefCountOf(a.get()), 1);

  list->Append(a.get());
  a.Reset();  // the list keeps the item alive
  EXPECT_EQ(Live(UtilI::kHelperNamedValues), 1u);
  list.Reset();
  EXPECT_EQ(Live(UtilI::kHelperNamedValues), 0u);
}

TEST_F(Helpers, InformationObjectsKeepAndHandOutCopies) {
  RefCountPtr<IPropertyInfo> info = NewInfo();
  // A new object: read-only, kind 0, nothing set.
  Port::StringBase text("x");
  RefCountPtr<UtilI::IStringContainer> strings;
  RefCountPtr<IPropertyValue> def;
  EXPECT_EQ(info->IsReadOnly(), 1u);
  EXPECT_EQ(info->GetKind(), 0u);
  EXPECT_EQ(info->GetName(text), 1u);
  EXPECT_EQ(text.str(), "");
  EXPECT_EQ(info->GetRanges(strings) + info->GetChoices(strings) + info->GetDefault(def), 0u);
  EXPECT_FALSE(strings);
  EXPECT_FALSE(def);

  RefCountPtr<UtilI::IStringContainer> given = UtilI::MakeStringContainer();
  given->Add("[0-15]");
  RefCountPtr<IPropertyValue> defaultValue = NewValue();
  defaultValue->SetDouble(-1.0);
  EXPECT_EQ(info->SetName("Max Delay"), 1u);
  EXPECT_EQ(info->SetKind(3), 1u);
  EXPECT_EQ(info->SetReadOnly(false), 1u);
  EXPECT_EQ(info->SetRanges(given), 1u);
  EXPECT_EQ(info->SetDefault(defaultValue.get()), 1u);
  EXPECT_EQ(info->SetAuxText("ns"), 1u);
  given->Add("[16-31]");
  EXPECT_EQ(info->SetChoices(given), 1u);
  EXPECT_EQ(info->SetDescription("The delay.\n"), 1u);
  given->Clear();
  defaultValue->SetInt(5);

  EXPECT_EQ(info->GetName(text), 1u);
  EXPECT_EQ(text.str(), "Max Delay");
  EXPECT_EQ(info->GetKind(), 3u);
  EXPECT_EQ(info->IsReadOnly(), 0u);
  EXPECT_EQ(info->GetRanges(strings), 1u);
  EXPECT_EQ(ncdtest::Strings(strings), std::vector<std::string>{"[0-15]"});
  EXPECT_EQ(info->GetChoices(strings), 1u);
  EXPECT_EQ(ncdtest::Strings(strings), (std::vector<std::string>{"[0-15]", "[16-31]"}));
  strings->Clear();  // a copy: the info keeps its choices
  EXPECT_EQ(info->GetChoices(strings), 1u);
  EXPECT_EQ(strings->GetSize(), 2u);
  EXPECT_EQ(info->GetDefault(def), 1u);
  EXPECT_EQ(Text(def.get()), "-1");
  def->SetInt(9);
  EXPECT_EQ(info->GetDefault(def), 1u);
  EXPECT_EQ(Text(def.get()), "-1");
  EXPECT_EQ(info->GetAuxText(text), 1u);
  EXPECT_EQ(text.str(), "ns");
  EXPECT_EQ(info->GetDescription(text), 1u);
  EXPECT_EQ(text.str(), "The delay.\n");

  // Empty references forget.
  info->SetRanges({});
  info->SetChoices({});
  info->SetDefault(nullptr);
  EXPECT_EQ(info->GetRanges(strings) + info->GetChoices(strings) + info->GetDefault(def), 0u);
}

TEST_F(Helpers, NamedValuesAreCollectables) {
  RefCountPtr<IPropertyValue> source = NewValue();
  source->SetInt(42);
  RefCountPtr<ITclCollectable> named = m_factory->MakeNamedValue("INIT", source.get());
  ASSERT_TRUE(named);
  EXPECT_EQ(RefCountOf(named.get()), 1);
  source->SetString("changed");  // the named value holds a copy
  EXPECT_EQ(Live(UtilI::kHelperNamedValues), 1u);

  auto* face = static_cast<UtilI::INamedValue*>(named->QueryInterface(UtilI::IID_INamedValue));
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->QueryInterface(UtilI::IID_ITclCollectable), named.get());
  EXPECT_EQ(named->QueryInterface(CitI::IID_IInterface),
            named->QueryInterface(CommonI::IID_IRefCount));
  EXPECT_EQ(face->GetValueName().str(), "INIT");
  RefCountPtr<IPropertyValue> held;
  EXPECT_EQ(face->GetValue(held), 1u);
  EXPECT_EQ(Text(held.get()), "42");
  held->SetInt(0);  // a copy again
  EXPECT_EQ(ncdtest::PropertyText(named.get(), "Value"), "42");

  Port::StringBase text;
  EXPECT_EQ(named->GetName(text), 1u);
  EXPECT_EQ(text.str(), "INIT");
  EXPECT_EQ(named->GetTypeName(text), 1u);
  EXPECT_EQ(text.str(), "tcltask_named_value");
  EXPECT_EQ(named->IsStale(), 0u);
  EXPECT_EQ(named->ReservedPredicate(), 0u);
  EXPECT_EQ(named->ReservedQuery(), nullptr);
  const Port::StringBase id = named->GetId();
  EXPECT_EQ(id.view().substr(0, 20), "tcltask_named_value#");
  EXPECT_EQ(named->GetId(), id);
  RefCountPtr<ITclCollectable> twin = m_factory->MakeNamedValue("INIT", source.get());
  EXPECT_NE(twin->GetId(), id);

  EXPECT_EQ(ncdtest::PropertyNames(named.get()), (std::vector<std::string>{"Name", "Value"}));
  EXPECT_EQ(ncdtest::PropertyText(named.get(), "Name"), "INIT");

  // Without a value: "Value" has none to deliver, and kind none.
  RefCountPtr<ITclCollectable> bare = m_factory->MakeNamedValue("EMPTY", nullptr);
  EXPECT_EQ(ncdtest::PropertyText(bare.get(), "Value"), "<none>");
  OutRef<IPropertyInfo> info;
  EXPECT_EQ(bare->GetPropertyInfo("Value", &info), 1u);
  EXPECT_EQ(info->GetKind(), UtilI::kValueNone);
  EXPECT_EQ(named->GetPropertyInfo("Value", &info), 1u);
  EXPECT_EQ(info->GetKind(), UtilI::kValueInt);
}

TEST_F(Helpers, PropertyNamesMatchRegardlessOfCaseAndSeparators) {
  RefCountPtr<ITclCollectable> named = Named("Bank", "0");
  for (const char* name : {"Name", "name", "NAME", "name ", "Value", "VALUE--"})
    EXPECT_NE(ncdtest::PropertyText(named.get(), name), "<none>") << name;
  for (const char* name : {"Nam", "Names", "_name", "", "Type"})
    EXPECT_EQ(ncdtest::PropertyText(named.get(), name), "<none>") << name;

  OutRef<IPropertyInfo> info;
  ASSERT_EQ(named->GetPropertyInfo("name", &info), 1u);
  Port::StringBase text;
  info->GetName(text);
  EXPECT_EQ(text.str(), "Name");
  EXPECT_EQ(info->GetKind(), UtilI::kValueString);
  EXPECT_EQ(info->IsReadOnly(), 1u);
  info->GetDescription(text);
  EXPECT_EQ(text.str(), "This property specifies the name of the named value.\n");
  IPropertyInfo* before = info.get();
  EXPECT_EQ(named->GetPropertyInfo("Colour", &info), 0u);
  EXPECT_EQ(info.get(), before);  // unknown: left alone
}

// What a T** out-parameter held is released when a new object is stored.
TEST_F(Helpers, OutParametersReleaseWhatTheyHeld) {
  RefCountPtr<ITclCollectable> named = Named("n", "v");
  OutRef<IPropertyValue> value;
  ASSERT_EQ(named->GetPropertyValue("Value", &value), 1u);
  ASSERT_EQ(named->GetPropertyValue("Name", &value), 1u);
  EXPECT_EQ(Live(UtilI::kHelperValues), 1u);
  EXPECT_EQ(named->GetPropertyValue("Nothing", &value), 0u);
  EXPECT_EQ(Live(UtilI::kHelperValues), 1u);
  EXPECT_EQ(named->GetPropertyValue("Name", nullptr), 0u);

  OutRef<IPropertyInfo> info;
  named->GetPropertyInfo("Name", &info);
  named->GetPropertyInfo("Value", &info);
  EXPECT_EQ(Live(UtilI::kHelperInfos), 1u);

  OutRef<UtilI::IStringIterator> names;
  EXPECT_EQ(named->GetPropertyNames(&names), 1u);
  UtilI::IStringIterator* first = names.get();
  EXPECT_EQ(named->GetPropertyNames(&names), 1u);
  EXPECT_NE(names.get(), first);
  EXPECT_EQ(named->GetPropertyNames(nullptr), 0u);
}

TEST_F(Helpers, FactoryMakesEveryKind) {
  RefCountPtr<IPropertyValue> v;
  EXPECT_EQ(m_factory->MakeStringValue(v, "s"), 1u);
  EXPECT_EQ(Text(v.get()), "s");
  EXPECT_EQ(m_factory->MakeIntValue(v, -3), 1u);
  EXPECT_EQ(Text(v.get()), "-3");
  EXPECT_EQ(m_factory->MakeDoubleValue(v, 2.5), 1u);
  EXPECT_EQ(Text(v.get()), "2.5");
  EXPECT_EQ(m_factory->MakeBoolValue(v, false), 1u);
  EXPECT_EQ(Text(v.get()), "false");
  EXPECT_EQ(m_factory->MakeObjectValue(v, nullptr), 1u);
  EXPECT_EQ(v->GetKind(), UtilI::kValueObject);
  EXPECT_EQ(m_factory->MakeValue(v), 1u);
  EXPECT_EQ(v->IsEmpty(), 1u);
  RefCountPtr<IObjectList> list;
  RefCountPtr<IPropertyInfo> info;
  EXPECT_EQ(m_factory->MakeList(list) + m_factory->MakeInfo(info), 2u);
  EXPECT_EQ(Live(UtilI::kHelperAll), 3u);
}

// References taken and dropped on several threads at once, on shared
// items, leave exact counts and nothing alive.
TEST_F(Helpers, CountingIsSafeAcrossThreads) {
  RefCountPtr<ITclCollectable> shared = Named("shared", "1");
  constexpr int kThreads = 4, kRounds = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      RefCountPtr<UtilI::INamedValueFactory> factory = CreateAs<UtilI::INamedValueFactory>(
          UtilI::CLSID_NamedValueFactory, UtilI::IID_INamedValueFactory);
      for (int i = 0; i < kRounds; ++i) {
        RefCountPtr<IObjectList> list = NewList();
        list->Append(shared.get());
        RefCountPtr<IPropertyValue> value;
        factory->MakeIntValue(value, i);
        RefCountPtr<ITclCollectable> mine = factory->MakeNamedValue("n", value.get());
        list->Append(mine.get());
        value->SetObject(shared.get());
        OutRef<IPropertyValue> read;
        shared->GetPropertyValue("Value", &read);
        factory->GetLiveCount(UtilI::kHelperAll);
      }
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(RefCountOf(shared.get()), 1);
  EXPECT_EQ(Live(UtilI::kHelperNamedValues), 1u);
}

}  // namespace
