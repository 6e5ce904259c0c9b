// The value, list, property-information and named-value objects of the Tcl
// helper component ("libTcltask_Helpers"). Collectables create them through
// the component framework (CitP::Factory::CreateInstanceRef with the class
// identifiers below, after CitP::Factory::LoadLibraryFactory of the
// component) and hand them to their callers, who own them.
//
// Every object is counted: it starts with one reference, its creator's, and
// answers CommonI::IID_IRefCount. A value or list that holds an object holds
// its own reference on it. Property-information objects copy what they are
// given (ranges, choices, the default), so the caller may reuse its
// containers afterwards.
//
// Threads: each object may be used by one thread at a time; counting is
// atomic, so references may be taken and dropped on any thread.
//
// The order of the operations is fixed: the collectables call the setters
// by position (IPropertyValue: SetInt 6, SetDouble 8, SetString 10, SetBool
// 12, SetObject 14, GetText 25; IObjectList: Append 3; IPropertyInfo: 2 to
// 9; INamedValueFactory: MakeNamedValue 11, counting QueryInterface as 0
// and the destructor as 1). Never insert an operation before another.
#pragma once

#include <cstdint>

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_IStringContainer.h"

namespace UtilI {

class ITclCollectable;
class IObjectList;

inline constexpr Port::XUID CLSID_PropertyValue{0xb11df61f8709474fULL, 0x888e1bf685b73570ULL};
inline constexpr Port::XUID IID_IPropertyValue{0xbca27424504c4adaULL, 0xb2a94825c6dc2b97ULL};
inline constexpr Port::XUID CLSID_ObjectList{0x75296840e2df427eULL, 0x8c759384f369fc20ULL};
inline constexpr Port::XUID IID_IObjectList{0x4c7348f92fcf453dULL, 0xa4386bdc6ea20d89ULL};
inline constexpr Port::XUID CLSID_PropertyInfo{0x847f15707bce4d1dULL, 0x9e13585e0c006f75ULL};
inline constexpr Port::XUID IID_IPropertyInfo{0xbc3b02c506624efdULL, 0x8c095b84fd0339ceULL};
inline constexpr Port::XUID CLSID_NamedValueFactory{0x5a45ecd0af060539ULL, 0x98b3fd15d0a32ebaULL};
inline constexpr Port::XUID IID_INamedValueFactory{0x014f4de70ec786f7ULL, 0x49841ffad6bd3485ULL};
inline constexpr Port::XUID IID_INamedValue{0xcd782b3d4c6446d9ULL, 0x9055690da7e19c20ULL};

// The name of the helper component's library.
inline constexpr const char* kTcltaskHelpersLibrary = "libTcltask_Helpers";

// What a value holds (IPropertyValue::GetKind). The numbers of the kinds a
// property may have are the collectables' property kinds.
enum ValueKind : std::uint32_t {
  kValueNone = 0,
  kValueInt = 2,
  kValueDouble = 3,
  kValueString = 4,
  kValueBool = 5,
  kValueObject = 6,   // one object, or null
  kValueList = 8,     // an IObjectList
  kValueInt64 = 9,
  kValueUInt = 10,
  kValueStrings = 11  // an IStringContainer (copied)
};

// One typed value. A setter replaces whatever the value held and answers 1
// (0 only when it cannot store the value). A getter answers 0, and leaves
// its output alone, when the value holds another kind.
class IPropertyValue : public CitI::IInterface {
 public:
  virtual std::uint32_t GetKind() = 0;                                      // 2
  virtual CitI::Result IsEmpty() = 0;                                       // 3
  virtual CitI::Result Clear() = 0;                                         // 4
  virtual CitI::Result CopyFrom(IPropertyValue* other) = 0;                 // 5
  virtual CitI::Result SetInt(std::int32_t value) = 0;                      // 6
  virtual CitI::Result GetInt(std::int32_t& out) = 0;                       // 7
  virtual CitI::Result SetDouble(double value) = 0;                         // 8
  virtual CitI::Result GetDouble(double& out) = 0;                          // 9
  virtual CitI::Result SetString(const Port::StringBase& value) = 0;        // 10
  virtual CitI::Result GetString(Port::StringBase& out) = 0;                // 11
  virtual CitI::Result SetBool(bool value) = 0;                             // 12
  virtual CitI::Result GetBool(bool& out) = 0;                              // 13
  // Null is a value (an object property with no object). A list is an
  // object that answers IID_IObjectList; the value then has kind kValueList.
  virtual CitI::Result SetObject(CitI::IInterface* object) = 0;             // 14
  virtual CitI::Result GetObject(CommonI::RefCountPtr<CitI::IInterface>& out) = 0;  // 15
  virtual CitI::Result SetInt64(std::int64_t value) = 0;                    // 16
  virtual CitI::Result GetInt64(std::int64_t& out) = 0;                     // 17
  virtual CitI::Result SetUInt(std::uint32_t value) = 0;                    // 18
  virtual CitI::Result GetUInt(std::uint32_t& out) = 0;                     // 19
  virtual CitI::Result SetStrings(const CommonI::RefCountPtr<IStringContainer>& value) = 0;  // 20
  virtual CitI::Result GetStrings(CommonI::RefCountPtr<IStringContainer>& out) = 0;        // 21
  // "none", "int", "double", "string", "bool", "object", "list", "int64",
  // "uint" or "strings".
  virtual Port::StringBase GetKindName() = 0;                               // 22
  // Same kind and same value (objects: the same object).
  virtual CitI::Result Equals(IPropertyValue* other) = 0;                   // 23
  // Writes the kind and text form to standard output; answers 0.
  virtual int Dump() = 0;                                                   // 24
  // The text form: integers in decimal ("%d", "%lld", "%u"), doubles as
  // the shortest text that reads back to the same double ("1.8", "1e+300",
  // "inf", "nan"), bools "true"/"false", strings as they are, an object by
  // its name (ITclCollectable::GetName; "" for null, for an object that is
  // not a collectable and for one that answers no name), a list or string
  // list as its items' texts separated by one blank. 0, and `out`
  // untouched, for an empty value.
  virtual CitI::Result GetText(Port::StringBase& out) = 0;                  // 25
};

// An ordered list of collectables; holds one reference on each item.
class IObjectList : public CitI::IInterface {
 public:
  virtual std::uint64_t GetSize() = 0;                                      // 2
  // Null is refused (0).
  virtual CitI::Result Append(ITclCollectable* item) = 0;                   // 3
  // 0 and `out` empty past the end.
  virtual CitI::Result GetItem(std::uint64_t index, CommonI::RefCountPtr<ITclCollectable>& out) = 0;  // 4
  virtual CitI::Result Clear() = 0;                                         // 5
};

// What a client may know of one property of a collectable. Setters copy;
// getters hand out copies. A new object has an empty name, kind 0, no
// ranges, default, aux text or choices, an empty description, and is
// read-only (every property of this tool family is).
class IPropertyInfo : public CitI::IInterface {
 public:
  virtual CitI::Result SetName(const Port::StringBase& name) = 0;           // 2
  virtual CitI::Result SetKind(std::uint32_t kind) = 0;                     // 3
  virtual CitI::Result SetReadOnly(bool readOnly) = 0;                      // 4
  virtual CitI::Result SetRanges(const CommonI::RefCountPtr<IStringContainer>& ranges) = 0;  // 5
  virtual CitI::Result SetDefault(IPropertyValue* value) = 0;               // 6
  virtual CitI::Result SetAuxText(const Port::StringBase& text) = 0;        // 7
  virtual CitI::Result SetChoices(const CommonI::RefCountPtr<IStringContainer>& choices) = 0;  // 8
  virtual CitI::Result SetDescription(const Port::StringBase& text) = 0;    // 9
  virtual CitI::Result GetName(Port::StringBase& out) = 0;                  // 10
  virtual std::uint32_t GetKind() = 0;                                      // 11
  virtual CitI::Result IsReadOnly() = 0;                                    // 12
  // Empty references (and 0) when nothing was set.
  virtual CitI::Result GetRanges(CommonI::RefCountPtr<IStringContainer>& out) = 0;   // 13
  virtual CitI::Result GetDefault(CommonI::RefCountPtr<IPropertyValue>& out) = 0;    // 14
  virtual CitI::Result GetAuxText(Port::StringBase& out) = 0;               // 15
  virtual CitI::Result GetChoices(CommonI::RefCountPtr<IStringContainer>& out) = 0;  // 16
  virtual CitI::Result GetDescription(Port::StringBase& out) = 0;           // 17
};

// A name with a value, as a collectable (type name "tcltask_named_value";
// GetName answers the name; its properties are "Name" and "Value"), so that
// it can stand in an IObjectList.
class INamedValue : public CitI::IInterface {
 public:
  virtual Port::StringBase GetValueName() = 0;                              // 2
  // A new value object holding a copy of the value (of kind kValueNone when
  // the named value holds none); 0 and `out` empty when it cannot be made.
  virtual CitI::Result GetValue(CommonI::RefCountPtr<IPropertyValue>& out) = 0;  // 3
};

// Which objects INamedValueFactory::GetLiveCount counts; kHelperAll is the
// sum of the four kinds (factories are not counted). Any other number: 0.
enum HelperObjectKind : std::uint32_t {
  kHelperValues = 0,
  kHelperLists = 1,
  kHelperInfos = 2,
  kHelperNamedValues = 3,
  kHelperAll = 4
};

// Makes the helper objects. Each Make* answers 1 and a new object with its
// first reference in `out`, or 0 and an empty `out`.
class INamedValueFactory : public CitI::IInterface {
 public:
  virtual CitI::Result MakeValue(CommonI::RefCountPtr<IPropertyValue>& out) = 0;  // 2
  virtual CitI::Result MakeList(CommonI::RefCountPtr<IObjectList>& out) = 0;      // 3
  virtual CitI::Result MakeInfo(CommonI::RefCountPtr<IPropertyInfo>& out) = 0;    // 4
  virtual CitI::Result MakeStringValue(CommonI::RefCountPtr<IPropertyValue>& out,
                                       const Port::StringBase& value) = 0;       // 5
  virtual CitI::Result MakeIntValue(CommonI::RefCountPtr<IPropertyValue>& out,
                                    std::int32_t value) = 0;                     // 6
  virtual CitI::Result MakeDoubleValue(CommonI::RefCountPtr<IPropertyValue>& out,
                                       double value) = 0;                        // 7
  virtual CitI::Result MakeBoolValue(CommonI::RefCountPtr<IPropertyValue>& out, bool value) = 0;  // 8
  virtual CitI::Result MakeObjectValue(CommonI::RefCountPtr<IPropertyValue>& out,
                                       CitI::IInterface* object) = 0;            // 9
  // Objects of the component alive now (tests use it to catch leaks).
  virtual std::uint64_t GetLiveCount(std::uint32_t kind) = 0;                    // 10
  // A named value holding a copy of `value` (null: an empty value); empty
  // when it cannot be made.
  virtual CommonI::RefCountPtr<ITclCollectable> MakeNamedValue(const Port::StringBase& name,
                                                               IPropertyValue* value) = 0;  // 11
};

}  // namespace UtilI
