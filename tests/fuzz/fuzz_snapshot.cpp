// libFuzzer target for the snapshot reader: every input either rebuilds a
// store, and then every object of the view made from it answers every
// question consistently, or is refused with a reason. Anything else (an
// exception, a store without a reason's absence or a reason without a
// refusal, an inconsistent view, a sanitizer report, a hang) is a finding.
//
// The checksum is not checked, so that mutations reach the records rather
// than stop at the sum; the seeds (tests/fuzz/snapshot_corpus, made by
// snapshot_seeds) are snapshots of small designs.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzWalk.h"
#include "Pds_PahSnapshot.h"
#include "XCad_CadModel.h"
#include "XCad_CadView.h"
#include "Xdm_ViewStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The reader wants 8-byte aligned bytes, and the store's names point into
  // them: the buffer outlives the model (declared first, it goes last).
  std::vector<std::uint64_t> aligned((size + 7) / 8);
  if (size > 0) std::memcpy(aligned.data(), data, size);
  std::string why;
  std::unique_ptr<Xdm_ViewStore> store = Pds_PahSnapshot::ReadBytes(
      reinterpret_cast<const char*>(aligned.data()), size, /*checkSum=*/false, why);
  FuzzCheck((store == nullptr) == !why.empty(),
            store ? "a store with a reason: " + why : "a refusal without a reason");
  if (!store) return 0;
  XCad_CadModel model("fuzz.ncdsnap", "fuzz", store->m_partName.c_str());
  Xdm_Access::Adopt(*model.GetView(), std::move(store));
  // Taken on trust, as the reader takes them: names unique where the
  // format says so (the parse's cost: every name hashed), and a routing
  // node's driver on the node's network (a random read of a pin and a
  // signal per node). Neither makes a view read out of place or loop.
  FuzzWalk(*model.GetView(), {.uniqueNames = false, .driversOnTheirNetworks = false});
  return 0;
}
