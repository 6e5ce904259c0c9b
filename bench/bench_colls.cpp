// bench_colls: the collectables and the searches on a generated design.
//
//   BlockSearchGlob / NetSearchGlob   a name glob through the search
//        service's context, the design's search source and its search
//        (ns_per_object: per visited block or net), one row per glob. Each
//        iteration also runs fnmatch over the same names (fnmatch_ns, the
//        floor); times_fnmatch = the search over fnmatch in the same run
//        (goal: at most 4). matches = the objects the search delivered;
//        release_ns_per_match = giving the result list back afterwards
//        (not in the search's time), per match.
//   ReadFullNameSubtype   "Full Name" and "Subtype" of every block through
//        its collectable (ns per read); bytes_per_collectable counts the
//        heap a live block collectable takes, its id included;
//   TopNets               the top collectable's "Nets" (ns per net);
//   NetPinsFanout         "Pins" and "Fanout" of every net (ns per read);
//   ClockPinRegions       "Clock Region" of every clock pin (ns per read);
//   RpmSubtype            "Subtype" of every RPM (ns per read, and per
//        read and shape: each read walks the shapes once).
// The design has about 100,000 blocks, or 1,000,000 with NCD_BENCH_LARGE=1.
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchDesigns.h"
#include "BenchPassTimer.h"
#include "CitP_Factory.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmPin.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilI_TclSearch.h"
#include "UtilI_TcltaskHelpers.h"
#include "UtilI_VectorHelper.h"
#include "XCad_CadView.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"

namespace {

using UtilC::SharedNcd::Mgr;
using CollPtr = CommonI::RefCountPtr<UtilI::ITclCollectable>;
using bench::Clock;
using bench::PassTimer;
using bench::Seconds;

const Port::XUID kRequester{0xbe4c4c011ULL, 0x1ULL};
// A broad glob (about one name in ten of the generated design) and a
// narrow one (a few hundred): with the broad one the search also makes and
// hands back a collectable per match.
constexpr const char* kBlockGlobs[] = {"*c1*", "*c1234*"};
constexpr const char* kNetGlobs[] = {"*n*1", "*n1234*"};

std::uint64_t DesignBlocks() {
  const char* large = std::getenv("NCD_BENCH_LARGE");
  return large && *large && *large != '0' ? 1000000 : 100000;
}

class Owner : public CommonI::IRefCount {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::Result AddRef() override { return 1; }
  CitI::Result Release() override { return 1; }
  CitI::Result GetRefCount(int* count) override { return count ? (*count = 1) : 0; }
};

template <class I>
CommonI::RefCountPtr<I> Create(const Port::XUID& classId, const Port::XUID& iid) {
  auto instance = CitP::Factory::CreateInstanceRef(classId);
  return CommonI::RefCountPtr<I>(instance ? static_cast<I*>(instance->QueryInterface(iid))
                                          : nullptr);
}

// One design in client hands for the whole run, published for its owner.
struct Subject {
  Owner owner;
  CommonI::RefCountPtr<UtilI::ISharedNcd> face;
  UtilC::SharedNcd::SharedNcd* design = nullptr;
  CommonI::RefCountPtr<UtilI::ISearchRequest> context;
  std::vector<Xdm_Block*> blocks;
  std::vector<Xdm_Network*> networks;
  std::vector<Xdm_Pin*> clockPins;
  std::string error;

  Subject() {
    const std::string file = DesignPath(DesignBlocks(), error);
    if (file.empty()) return;
    CitP::Factory::LoadLibraryFactory(UtilI::kTclSearchLibrary);
    CitP::Factory::LoadLibraryFactory(UtilI::kTcltaskHelpersLibrary);
    auto service = Create<UtilI::ITclSearch>(UtilI::CLSID_TclSearch, UtilI::IID_ITclSearch);
    const CommonI::RefCountPtr<CitI::IInterface> ownerRef(&owner);
    if (!service || !service->OpenContext(context, ownerRef)) {
      error = "no search service";
      return;
    }
    Mgr* mgr = Mgr::Instance();
    if (mgr->Load(kRequester, file, ownerRef, true) != 1) {
      error = "cannot load " + file;
      return;
    }
    face = mgr->Get(kRequester, file, ownerRef);
    design = static_cast<UtilC::SharedNcd::SharedNcd*>(face.get());
    design->GetRouteMediator();
    Collect(design->GetView()->GetBlock());
    for (Xdm_Network* net : design->GetView()->GetNetworkItr())
      networks.push_back(net);
  }
  void Collect(Xdm_Block* block) {
    if (!design->IsBlockVisible(block)) return;
    blocks.push_back(block);
    for (Xdm_Pin* pin : block->GetPinItr()) {
      if (static_cast<Pds_PdmPin*>(pin)->GetExtendedPinType().IsClock()) clockPins.push_back(pin);
    }
    for (Xdm_Block* child : block->GetBlocks())
      Collect(child);
  }
  CollPtr Make(const Xdm_Block* block) {
    return design->MakeCollectable(static_cast<const Pds_PdmBlock*>(block));
  }
};

Subject& TheSubject() {
  static Subject subject;
  return subject;
}

// Times `pass` (which answers the number of objects it handled) per iteration.
template <class Pass>
void Timed(benchmark::State& state, Pass pass) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  PassTimer timer;
  std::size_t objects = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    objects = pass(subject);
    timer.Add(state, start);
  }
  timer.Report(state, objects);
}

bool Read(const CollPtr& coll, const char* name) {
  UtilI::IPropertyValue* value = nullptr;
  const bool found = coll->GetPropertyValue(name, &value);
  if (value) CommonI::RefCountOf(value)->Release();
  return found;
}

CommonI::RefCountPtr<UtilI::IObjectList> Search(Subject& subject, const char* type,
                                                const char* glob) {
  auto types = UtilI::MakeStringContainer();
  types->Add(type);
  auto results = Create<UtilI::IObjectList>(UtilI::CLSID_ObjectList, UtilI::IID_IObjectList);
  subject.context->SearchText(types, glob, false, false, false, results.get());
  return results;
}

template <class Objects>
std::size_t BareFnmatch(const Objects& objects, const char* glob) {
  std::size_t matches = 0;
  for (const auto* object : objects)
    matches += fnmatch(glob, object->GetName(), 0) == 0;
  return matches;
}

// Each iteration runs the bare loop, then the search, so that both see the
// same machine; only the search is the iteration's time. The search ends
// when its results are delivered; giving them back is timed apart.
template <class Objects>
void SearchNextToFnmatch(benchmark::State& state, const char* type, const Objects& objects,
                         const char* glob) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  PassTimer search;
  double bareSeconds = 0;
  double releaseSeconds = 0;
  std::size_t matches = 0;
  for (auto _ : state) {
    const auto bareStart = Clock::now();
    benchmark::DoNotOptimize(BareFnmatch(objects, glob));
    bareSeconds += Seconds(bareStart);
    const auto start = Clock::now();
    CommonI::RefCountPtr<UtilI::IObjectList> results = Search(subject, type, glob);
    search.Add(state, start);
    matches = results->GetSize();
    const auto releaseStart = Clock::now();
    results.Reset();
    releaseSeconds += Seconds(releaseStart);
  }
  search.Report(state, objects.size());
  state.SetLabel(glob);
  state.counters["matches"] = static_cast<double>(matches);
  if (search.passes && !objects.empty()) {
    state.counters["fnmatch_ns"] =
        bareSeconds * 1e9 / static_cast<double>(search.passes * objects.size());
    state.counters["times_fnmatch"] = search.seconds / bareSeconds;
  }
  if (search.passes && matches)
    state.counters["release_ns_per_match"] =
        releaseSeconds * 1e9 / static_cast<double>(search.passes * matches);
}

void BM_BlockSearchGlob(benchmark::State& state) {
  SearchNextToFnmatch(state, "ncd_block", TheSubject().blocks, kBlockGlobs[state.range(0)]);
}
void BM_NetSearchGlob(benchmark::State& state) {
  SearchNextToFnmatch(state, "ncd_net", TheSubject().networks, kNetGlobs[state.range(0)]);
}

void BM_ReadFullNameSubtype(benchmark::State& state) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  const std::size_t heapBefore = mallinfo2().uordblks;
  std::vector<CollPtr> colls;
  colls.reserve(subject.blocks.size());
  const std::size_t heapReserved = mallinfo2().uordblks;
  for (const Xdm_Block* block : subject.blocks)
    colls.push_back(subject.Make(block));
  const double bytes =
      static_cast<double>(mallinfo2().uordblks - heapReserved) / static_cast<double>(colls.size());
  benchmark::DoNotOptimize(heapBefore);
  PassTimer timer;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (const CollPtr& coll : colls)
      benchmark::DoNotOptimize(Read(coll, "Full Name") && Read(coll, "Subtype"));
    timer.Add(state, start);
  }
  timer.Report(state, 2 * colls.size());
  state.counters["bytes_per_collectable"] = bytes;
}

void BM_TopNets(benchmark::State& state) {
  Timed(state, [](Subject& s) {
    Read(s.Make(s.design->GetView()->GetBlock()), "Nets");
    return s.networks.size();
  });
}

void BM_NetPinsFanout(benchmark::State& state) {
  Timed(state, [](Subject& s) {
    for (const Xdm_Network* net : s.networks) {
      CollPtr coll = s.design->MakeCollectable(net);
      benchmark::DoNotOptimize(Read(coll, "Pins") && Read(coll, "Fanout"));
    }
    return 2 * s.networks.size();
  });
}

void BM_ClockPinRegions(benchmark::State& state) {
  Timed(state, [](Subject& s) {
    for (const Xdm_Pin* pin : s.clockPins)
      benchmark::DoNotOptimize(Read(s.design->MakeCollectable(pin), "Clock Region"));
    return s.clockPins.size();
  });
}

void BM_RpmSubtype(benchmark::State& state) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  std::vector<Xdh_Shape> shapes;
  subject.design->GetShapeMgr()->GetShapes(shapes);
  std::vector<CollPtr> rpms;
  for (const Xdh_Shape& shape : shapes)
    rpms.push_back(subject.design->MakeCollectable(shape.GetNativeXdmObject()));
  PassTimer timer;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (const CollPtr& rpm : rpms)
      benchmark::DoNotOptimize(Read(rpm, "Subtype"));
    timer.Add(state, start);
  }
  timer.Report(state, rpms.size());
  if (timer.passes && !rpms.empty())
    state.counters["ns_per_read_and_shape"] =
        timer.seconds * 1e9 / static_cast<double>(timer.passes * rpms.size() * rpms.size());
}

}  // namespace

BENCHMARK(BM_BlockSearchGlob)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetSearchGlob)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFullNameSubtype)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TopNets)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetPinsFanout)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClockPinRegions)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RpmSubtype)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
