// UtilC::SrchSrcImpT<Design>: a design's search source. Every design
// object owns one (a member of its base part) for its whole life; it is
// not counted on its own (QueryInterface answers no IRefCount face).
//
// Publishing: when the manager hands a design out, the design registers
// its source under the name "implemented" in the search context of its
// owner (the Tcl search service, "libUtilC_TclSearch"), unless that
// context has a source of that name already, and creates its search
// algorithms ("ncd_block", "ncd_net", "ncd_rpm"). When the design goes back
// to its manager it withdraws the source from the context; the next
// hand-out registers it again. A design that found another source
// registered keeps its algorithms, so that it can be searched through its
// own source (QueryInterface for UtilI::IID_ITclSearchSource). A design
// without owner has no context: it is never published.
//
// Searching: the search service asks the source for some type names; the
// source runs the algorithm of each name it has, with the context as the
// request. Only the design's own owner may search it.
//
// Threads: any thread may search; publishing and withdrawal of one source
// are serialised by the source's own lock, a leaf lock (withdrawal runs
// under the manager's lock and calls only the search context). A client
// keeps a reference on the designs it searches while the search runs.
#pragma once

#include <map>

#include "Port_StringBase.h"
#include "Port_Thr.h"
#include "UtilI_ITclSearchSource.h"
#include "UtilI_TclSearch.h"

namespace UtilC {

class SearchAlg;

template <class Design>
class SrchSrcImpT : public UtilI::ITclSearchSource {
 public:
  SrchSrcImpT() = default;
  ~SrchSrcImpT() override;
  SrchSrcImpT(const SrchSrcImpT&) = delete;
  SrchSrcImpT& operator=(const SrchSrcImpT&) = delete;

  // Set once by the design's constructor.
  void SetDesign(Design* design) { m_design = design; }

  void* QueryInterface(const Port::XUID& iid) override;
  Port::StringBase GetName() override;
  CommonI::RefCountPtr<UtilI::IStringContainer> GetSearchableTypes() override;
  CommonI::RefCountPtr<UtilI::ITclCollectable> MakeEmptyCollectable(const Port::StringBase& typeName) override;
  CitI::Result SearchWithPattern(const CommonI::RefCountPtr<CitI::IInterface>& owner,
                                 const CommonI::RefCountPtr<CitI::IInterface>& pattern,
                                 const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames,
                                 UtilI::IObjectList* results, void* passThrough) override;
  CitI::Result SearchWithText(const CommonI::RefCountPtr<CitI::IInterface>& owner,
                              const Port::StringBase& text,
                              const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames, bool flag1,
                              bool flag2, bool flag3, UtilI::IObjectList* results,
                              void* passThrough) override;

  void Publish();
  void Withdraw();

  // The search context of an owner (empty for a null owner, or when the
  // search service is missing or has none).
  static CommonI::RefCountPtr<UtilI::ISearchRequest> ContextOf(CitI::IInterface* owner);

 private:
  CitI::Result Search(const CommonI::RefCountPtr<CitI::IInterface>& owner,
                      const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames,
                      const CommonI::RefCountPtr<CitI::IInterface>& pattern, const Port::StringBase& text,
                      bool flag1, bool flag2, bool flag3, UtilI::IObjectList* results, void* passThrough);
  CommonI::RefCountPtr<UtilI::ITclSearchSource> Self();

  Design* m_design = nullptr;
  std::map<Port::StringBase, SearchAlg*> m_algorithms;  // owned
  Port::StringBase m_name;
  bool m_registered = false;  // in the owner's context now
  // Publishing and withdrawal; recursive, because the context asks the
  // source its name while it registers it.
  Port_ThrRecursiveLock m_lock;
};

}  // namespace UtilC
