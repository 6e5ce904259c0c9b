// Pds_PahSnapshotCache: the folder of design snapshots, and when a load
// uses one (docs/snapshots.md).
//
// Snapshots live in "$XDG_CACHE_HOME/ncd", or "$HOME/.cache/ncd" without
// it, one per design file, named after a hash of the file's absolute path.
// NCD_CACHE chooses: "off" never reads or writes one, "all" snapshots every
// design, and otherwise designs of at least kMinBytes (as stored) are
// snapshotted: smaller ones parse about as fast as they map.
//
// The folder is kept within NCD_CACHE_MAX_MB megabytes (default 20 GiB):
// after a snapshot is written, the snapshots used longest ago are removed
// until the rest fit (the new one always stays).
//
// A snapshot is used only when it was made from a file of the same size,
// modification time and content hash as the design file now; anything
// else (another version, damage of any kind) is ignored and the file is
// parsed, and the new snapshot then replaces the old. The file is not
// hashed again while it is the same file (device and inode) with the
// same time of change as when it was hashed, unless that time was too
// close to the hash for a later write to be told by it (SetSettleTime). A snapshot that
// cannot be written (no folder, a read-only or full disk) costs only the
// snapshot, never the load.
//
// One object serves one load, on one thread; loads of the same file in
// several threads or processes at once are safe (snapshots are replaced
// by renaming).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Pds_PahFileId.h"
#include "Pds_PahSnapshot.h"

class Xdm_ViewStore;

class Pds_PahSnapshotCache {
 public:
  static constexpr std::uint64_t kMinBytes = std::uint64_t{4} << 20;
  static constexpr std::uint64_t kDefaultLimit = std::uint64_t{20} << 30;

  // Reads the environment and the design file's size and time.
  explicit Pds_PahSnapshotCache(const std::string& designFile);

  // The store of the design file's snapshot, or null (none, off, stale or
  // damaged: then the file is to be parsed; or `stop` answered true). The
  // read moves `progress` on as a parse would.
  std::unique_ptr<Xdm_ViewStore> Open(bool (*stop)() = nullptr,
                                      Pds_PahLoadProgress::Entry* progress = nullptr);
  // After a parse: writes the snapshot of `store`, unless the policy says
  // no or the design file changed since this object was made (in any way:
  // renamed over, or written to even with its time put back), so that a
  // snapshot never holds other bytes than those its stamp's hash is of.
  void Save(const Xdm_ViewStore& store);

  // The most the folder's snapshots may take, in bytes.
  static std::uint64_t Limit();
  // The folder, "" when there is none (no XDG_CACHE_HOME and no HOME).
  static std::string Folder();
  // The snapshot of `designFile` in the folder ("" without a folder).
  static std::string PathOf(const std::string& designFile);

  // Process-wide counts, for tools and tests.
  struct Counts {
    std::uint64_t opened = 0;   // loads answered from a snapshot
    std::uint64_t ignored = 0;  // snapshots found stale or damaged
    std::uint64_t written = 0;
    std::uint64_t unwritten = 0;  // snapshots that could not be written
  };
  static Counts GetCounts();

  // For tests: how long before its hash a file must have last changed for
  // its time of change to vouch for its bytes, in ns (negative: the
  // default, 0.1 s, or 3 s on file systems that keep whole seconds).
  static void SetSettleTime(std::int64_t ns);

 private:
  bool Stamp();
  bool Settled() const;
  void Restamp();
  static void Prune(const std::string& kept);

  std::string m_design;
  std::string m_path;          // the snapshot's; "" when the cache is off for this design
  Pds_PahSourceStamp m_stamp;  // size and time when made; the hash once known
  Pds_PahFileId m_id;          // when made
  std::int64_t m_stampedNs = 0;  // the system's time just after m_id was taken
  bool m_hashed = false;
};
