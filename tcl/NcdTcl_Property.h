// Reading the properties of collectables for Tcl: values as Tcl values,
// property names in the component's order, and their kinds and
// descriptions.
//
// Property names are passed to the component as the user wrote them: it
// matches them without regard to case or separators ("full_name",
// "Full_Name" and "Full Name" are one name).
//
// Values become Tcl values by kind: numbers as Tcl numbers, bools as
// "true"/"false", strings as they are, an object as an object value (null:
// the empty string), a list of objects as a Tcl list of object values (a
// list of named values as a flat name-value list), a string list as a Tcl
// list.
#pragma once

#include <tcl.h>

#include <string>
#include <vector>

#include "UtilI_ITclCollectable.h"

namespace NcdTcl {

using ValueRef = CommonI::RefCountPtr<UtilI::IPropertyValue>;
using CollRef = CommonI::RefCountPtr<UtilI::ITclCollectable>;

// The value of property `name`, or empty when the object gives none
// (unknown property, stale object, no value).
ValueRef ReadValue(UtilI::ITclCollectable* coll, const char* name);
// The value's text (IPropertyValue::GetText); empty when there is none.
std::string PropertyText(UtilI::ITclCollectable* coll, const char* name);
// Whether the object's class has property `name` (stale objects answer too).
bool HasProperty(UtilI::ITclCollectable* coll, const char* name);

// A new Tcl value (reference count 0) for a property value.
Tcl_Obj* ToTcl(UtilI::IPropertyValue* value);
// The object an object-valued property holds, or empty.
CollRef ObjectValue(UtilI::ITclCollectable* coll, const char* name);
// The items of an object-list value, in order; empty for any other value.
std::vector<CollRef> ListItems(UtilI::IPropertyValue* value);
// The first items of an object list (a value of kind kValueList) as ToTcl
// gives them, up to the first whose text makes the list's longer than
// `chars` characters; `length` is set to the length of the whole list.
Tcl_Obj* ListHeadToTcl(UtilI::IPropertyValue* value, std::size_t chars, int& length);

// A property name without case and separators ("iodirection"), as the
// component compares names.
std::string NormalName(const std::string& name);
// "Max Delay" or "Skew Value" in any spelling: properties that answer the
// placeholder -1.0 until the design's timing service is made.
bool IsDelayProperty(const std::string& name);

struct PropertyDescription {
  std::string name;
  std::string kind;  // "string", "int", "double", "bool", "object", "list", ...
  std::string description;
};

// The object's property names, in the component's order.
std::vector<std::string> PropertyNames(UtilI::ITclCollectable* coll);
// The same names joined by ", ", for messages.
std::string JoinedPropertyNames(UtilI::ITclCollectable* coll);

// A property name, with the first of the objects asked that has it.
struct NamedProperty {
  std::string name;
  UtilI::ITclCollectable* holder;
};
// The distinct property names of the objects, in the order first met:
// objects of one kind may differ (a comp has a Site, a module none).
std::vector<NamedProperty> PropertiesOfAll(const std::vector<UtilI::ITclCollectable*>& objects);
// Their names joined by ", ", for messages.
std::string JoinedPropertyNames(const std::vector<UtilI::ITclCollectable*>& objects);
// The property's name as the component spells it, kind and description;
// false for a property the object does not have.
bool DescribeProperty(UtilI::ITclCollectable* coll, const char* name, PropertyDescription& out);
// The name of a property kind, as IPropertyValue::GetKindName spells it.
const char* KindName(std::uint32_t kind);

}  // namespace NcdTcl
