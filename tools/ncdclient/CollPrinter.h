// Printing collectables as the C++ client sees them: through
// UtilI::ITclCollectable and the value, list and information objects of the
// Tcl helper component only.
#pragma once

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "UtilI_ITclCollectable.h"

namespace ncdclient {

using CollPtr = CommonI::RefCountPtr<UtilI::ITclCollectable>;
using ValuePtr = CommonI::RefCountPtr<UtilI::IPropertyValue>;

// The collectable's name, or "<stale>".
std::string NameOf(const CollPtr& coll);
// The property's value, or empty when the collectable has none.
ValuePtr ValueOf(const CollPtr& coll, const char* name);
// A value as one line: text, an object's name ("none" for null), or a
// list's item names in brackets (at most `maxItems`, then the count).
std::string Render(const ValuePtr& value, std::size_t maxItems = 8);
// The items of a list value.
std::vector<CollPtr> Items(const ValuePtr& value);
std::vector<std::string> PropertyNames(const CollPtr& coll);
// The block class a block collectable is of, told by the first property
// it lists (each class lists its own properties first).
const char* BlockClass(const CollPtr& block);

// Prints "name = value" for each property, indented.
void PrintProperties(std::FILE* out, const CollPtr& coll, const std::string& indent);
// Prints each property's kind and description, once per class.
void PrintDescriptions(std::FILE* out, const CollPtr& coll, const char* className);

}  // namespace ncdclient
