// UtilI::ITclSearchSource: what a component offers the Tcl search service
// to be searched. A source is registered by name in the search context of
// one owner (UtilI::ISearchRequest::AddSource) and holds one search
// algorithm per searchable type name ("ncd_block", ...).
//
// Sources are not counted: QueryInterface answers no IRefCount face, so
// counted references to a source take no count. A source lives as long as
// the object that owns it, which takes it out of every context first.
//
// Results go to an IObjectList (its Append, which takes its own reference
// on each match); `passThrough` reaches every match call unchanged.
#pragma once

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_IStringContainer.h"

namespace UtilI {

class ITclCollectable;
class IObjectList;

inline constexpr Port::XUID IID_ITclSearchSource{0x4cc0443f837b4ddcULL, 0x89ded4d1f1a542caULL};

class ITclSearchSource : public CitI::IInterface {
 public:
  virtual Port::StringBase GetName() = 0;
  // The type names it can search, in its order.
  virtual CommonI::RefCountPtr<IStringContainer> GetSearchableTypes() = 0;
  // A collectable of that type that wraps nothing (a type prototype), or empty.
  virtual CommonI::RefCountPtr<ITclCollectable> MakeEmptyCollectable(const Port::StringBase& typeName) = 0;
  // Searches the types of `typeNames` with a prepared pattern object of
  // the search service. False when `owner` is not the source's owner or
  // an algorithm failed.
  virtual CitI::Result SearchWithPattern(const CommonI::RefCountPtr<CitI::IInterface>& owner,
                                         const CommonI::RefCountPtr<CitI::IInterface>& pattern,
                                         const CommonI::RefCountPtr<IStringContainer>& typeNames,
                                         IObjectList* results, void* passThrough) = 0;
  // The same with a pattern text and the service's three match flags.
  virtual CitI::Result SearchWithText(const CommonI::RefCountPtr<CitI::IInterface>& owner,
                                      const Port::StringBase& text,
                                      const CommonI::RefCountPtr<IStringContainer>& typeNames,
                                      bool flag1, bool flag2, bool flag3, IObjectList* results,
                                      void* passThrough) = 0;
};

}  // namespace UtilI
