// The shared design's search source (UtilC_SrchSrcImpT.h).
#include <memory>
#include <mutex>

#include "CitP_Factory.h"
#include "UtilC_SearchAlg.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdSearchAlgs.h"
#include "UtilC_SrchSrcImpT.h"
#include "UtilI_VectorHelper.h"

namespace UtilC {

using NcdDesign = SharedNcd::SharedNcd;
using CollectablePtr = CommonI::RefCountPtr<UtilI::ITclCollectable>;

namespace {

constexpr const char* kPublishedName = "implemented";

// The algorithms a published design searches with, in the order they are made.
struct AlgorithmMaker {
  const char* typeName;
  SearchAlg* (*make)(const Port::StringBase& name, NcdDesign* design);
};
template <class Algorithm>
SearchAlg* MakeAlgorithm(const Port::StringBase& name, NcdDesign* design) {
  return new Algorithm(name, design);
}
constexpr AlgorithmMaker kAlgorithms[] = {
    {"ncd_block", &MakeAlgorithm<SharedNcd::BlockSearchAlg>},
    {"ncd_net", &MakeAlgorithm<SharedNcd::NetSearchAlg>},
    {"ncd_rpm", &MakeAlgorithm<SharedNcd::RpmSearchAlg>},
};

// The type prototypes MakeEmptyCollectable hands out, in the order the
// names are tried.
struct Prototype {
  const char* typeName;
  CollectablePtr (*make)(NcdDesign& design);
};
constexpr Prototype kPrototypes[] = {
    {"ncd_block",
     [](NcdDesign& d) { return d.MakeCollectable(static_cast<const Pds_PdmBlock*>(nullptr)); }},
    {"ncd_net",
     [](NcdDesign& d) { return d.MakeCollectable(static_cast<const Xdm_Network*>(nullptr)); }},
    {"ncd_rpm",
     [](NcdDesign& d) {
       return d.MakeCollectable(static_cast<const Xdm_PropertyHolder*>(nullptr));
     }},
    {"ncd_signal",
     [](NcdDesign& d) { return d.MakeCollectable(static_cast<const Xdm_Signal*>(nullptr)); }},
    {"ncd_pin",
     [](NcdDesign& d) { return d.MakeCollectable(static_cast<const Xdm_Pin*>(nullptr)); }},
};

// One search service instance's face, counted.
CommonI::RefCountPtr<UtilI::ITclSearch> SearchService() {
  static std::once_flag loaded;
  std::call_once(loaded, [] { CitP::Factory::LoadLibraryFactory(UtilI::kTclSearchLibrary); });
  CommonI::RefCountPtr<CitI::IInterface> instance =
      CitP::Factory::CreateInstanceRef(UtilI::CLSID_TclSearch);
  if (!instance) return {};
  return CommonI::RefCountPtr<UtilI::ITclSearch>(
      static_cast<UtilI::ITclSearch*>(instance->QueryInterface(UtilI::IID_ITclSearch)));
}

// Whether `context` lists a source named `name`. Asked by name, not with
// FindSource: a reference taken to another design's source could reach
// that design after its last reference was dropped, while it is deleted.
bool NameTaken(UtilI::ISearchRequest& context, const Port::StringBase& name) {
  CommonI::RefCountPtr<UtilI::IStringContainer> names;
  context.GetSourceNames(names);
  CommonI::RefCountPtr<UtilI::IStringIterator> it;
  if (names) names->CreateIterator(it);
  if (!it) return false;
  for (it->Reset(); !it->IsDone(); it->Next()) {
    if (it->GetCurrent().Compare(name, Port::StringBase::Exact) == 0) return true;
  }
  return false;
}

}  // namespace

template <class Design>
SrchSrcImpT<Design>::~SrchSrcImpT() {
  for (auto& [name, algorithm] : m_algorithms)
    delete algorithm;
}

template <class Design>
void* SrchSrcImpT<Design>::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ITclSearchSource || iid == CitI::IID_IInterface)
    return static_cast<UtilI::ITclSearchSource*>(this);
  return nullptr;
}

template <class Design>
Port::StringBase SrchSrcImpT<Design>::GetName() {
  Port_ThrGuard guard(m_lock);
  return m_name;
}

template <class Design>
CommonI::RefCountPtr<UtilI::IStringContainer> SrchSrcImpT<Design>::GetSearchableTypes() {
  CommonI::RefCountPtr<UtilI::IStringContainer> types = UtilI::MakeStringContainer();
  Port_ThrGuard guard(m_lock);
  if (types) {
    for (const auto& [name, algorithm] : m_algorithms)
      types->Add(name);
  }
  return types;
}

template <class Design>
CollectablePtr SrchSrcImpT<Design>::MakeEmptyCollectable(const Port::StringBase& typeName) {
  if (!m_design) return {};
  for (const Prototype& prototype : kPrototypes) {
    if (typeName.Compare(prototype.typeName, Port::StringBase::Exact) == 0)
      return prototype.make(*m_design);
  }
  return {};
}

template <class Design>
CommonI::RefCountPtr<UtilI::ISearchRequest> SrchSrcImpT<Design>::ContextOf(
    CitI::IInterface* owner) {
  if (!owner) return {};
  const CommonI::RefCountPtr<CitI::IInterface> ownerRef(owner);
  // A second service instance is asked when the first has no context.
  for (int attempt = 0; attempt < 2; ++attempt) {
    CommonI::RefCountPtr<UtilI::ITclSearch> service = SearchService();
    CommonI::RefCountPtr<UtilI::ISearchRequest> context;
    if (service) service->GetContext(context, ownerRef);
    if (context) return context;
  }
  return {};
}

template <class Design>
CommonI::RefCountPtr<UtilI::ITclSearchSource> SrchSrcImpT<Design>::Self() {
  auto* face = static_cast<UtilI::ISharedNcd*>(m_design->QueryInterface(UtilI::IID_ISharedNcd));
  return CommonI::RefCountPtr<UtilI::ITclSearchSource>(
      static_cast<UtilI::ITclSearchSource*>(face->QueryInterface(UtilI::IID_ITclSearchSource)));
}

// A source is registered while its design is in client hands: each hand-out
// registers it again after the hand-back withdrew it. A design whose owner's
// context holds another source of that name registers nothing, but still
// gets its algorithms, so that a client can search it through its own
// source.
template <class Design>
void SrchSrcImpT<Design>::Publish() {
  Port_ThrGuard guard(m_lock);
  if (m_registered) return;
  m_name = kPublishedName;
  CommonI::RefCountPtr<UtilI::ISearchRequest> context = ContextOf(m_design->GetKey().m_owner);
  if (!context) return;
  if (!NameTaken(*context, m_name)) m_registered = context->AddSource(Self()) != 0;
  for (const AlgorithmMaker& maker : kAlgorithms) {
    if (m_algorithms.count(maker.typeName)) continue;
    // Owned here until the table holds it: a table that cannot grow must not leak it.
    std::unique_ptr<SearchAlg> algorithm(maker.make(maker.typeName, m_design));
    m_algorithms.emplace(maker.typeName, algorithm.get());
    algorithm.release();
  }
}

template <class Design>
void SrchSrcImpT<Design>::Withdraw() {
  Port_ThrGuard guard(m_lock);
  if (!m_registered) return;
  m_registered = false;
  if (CommonI::RefCountPtr<UtilI::ISearchRequest> context = ContextOf(m_design->GetKey().m_owner))
    context->RemoveSource(Self());
}

template <class Design>
CitI::Result SrchSrcImpT<Design>::SearchWithPattern(
    const CommonI::RefCountPtr<CitI::IInterface>& owner,
    const CommonI::RefCountPtr<CitI::IInterface>& pattern,
    const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames, UtilI::IObjectList* results,
    void* passThrough) {
  return Search(owner, typeNames, pattern, Port::StringBase(), false, false, false, results,
                passThrough);
}

template <class Design>
CitI::Result SrchSrcImpT<Design>::SearchWithText(
    const CommonI::RefCountPtr<CitI::IInterface>& owner, const Port::StringBase& text,
    const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames, bool flag1, bool flag2,
    bool flag3, UtilI::IObjectList* results, void* passThrough) {
  return Search(owner, typeNames, {}, text, flag1, flag2, flag3, results, passThrough);
}

template <class Design>
CitI::Result SrchSrcImpT<Design>::Search(
    const CommonI::RefCountPtr<CitI::IInterface>& owner,
    const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames,
    const CommonI::RefCountPtr<CitI::IInterface>& pattern, const Port::StringBase& text, bool flag1,
    bool flag2, bool flag3, UtilI::IObjectList* results, void* passThrough) {
  if (!m_design) return 1;
  SharedNcd::DesignUse use(m_design);
  CommonI::RefCountPtr<UtilI::ISearchRequest> context = ContextOf(owner.get());
  if (owner.get() != m_design->GetKey().m_owner || !context) return 0;
  CommonI::RefCountPtr<UtilI::IStringIterator> names;
  if (typeNames) typeNames->CreateIterator(names);
  if (!names) return 1;
  CitI::Result answer = 1;
  for (names->Reset(); !names->IsDone(); names->Next()) {
    SearchAlg* algorithm = nullptr;
    {
      Port_ThrGuard guard(m_lock);
      auto it = m_algorithms.find(names->GetCurrent());
      if (it != m_algorithms.end()) algorithm = it->second;
    }
    if (algorithm &&
        !algorithm->Search(context, pattern, text, flag1, flag2, flag3, results, passThrough))
      answer = 0;
  }
  return answer;
}

template class SrchSrcImpT<NcdDesign>;

}  // namespace UtilC
