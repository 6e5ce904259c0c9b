// Design snapshots: a loaded view store written to a file and rebuilt
// from it without parsing (internal; Pds_PahSnapshotCache decides when).
//
// Write answers false, and leaves nothing at `path`, when the store cannot
// be written (a store changed by an editor, more than 4 GiB of names) or
// the file cannot (the folder is missing or read-only, the disk is full).
// It writes a new file next to `path` and renames it over `path`, so that
// a reader sees either the old snapshot or the whole new one.
//
// Read maps the file and rebuilds the store. It answers null, with the
// reason in `why`, for a file that is missing, of another version, not
// made from a source of `source`'s size, time and hash, or damaged in any
// way (checksum, directory, any index or list out of place); it never
// trusts what it has not checked. The store keeps the mapping: its names
// are read from the file's pages, which processes mapping the same
// snapshot share.
//
// Both are safe to call from several threads on distinct stores and files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Pds_PahLoadProgress.h"

class Xdm_ViewStore;

// What a snapshot records of the design file it was made from. The file
// (device and inode) and its time of change, when set, vouch for its
// bytes without hashing them: the system moves that time on at every
// write. It is left 0 when the file changed so shortly before it was
// hashed that a later write could carry the same time (Pds_PahSnapshotCache).
struct Pds_PahSourceStamp {
  std::uint64_t size = 0;
  std::int64_t timeNs = 0;  // modification time
  std::uint64_t hash = 0;   // XXH3-64 of the bytes as stored
  std::uint64_t device = 0, inode = 0;
  std::int64_t changedNs = 0;  // time of change; 0: the bytes must be hashed
  bool operator==(const Pds_PahSourceStamp&) const = default;
  // Whether a file of this stamp is known to hold the bytes `made` was of
  // without hashing them.
  bool Vouches(const Pds_PahSourceStamp& made) const {
    return made.changedNs != 0 && changedNs == made.changedNs && device == made.device &&
           inode == made.inode && size == made.size && timeNs == made.timeNs;
  }
};

namespace Pds_PahSnapshot {

bool Write(const Xdm_ViewStore& store, const Pds_PahSourceStamp& source, const std::string& path);

// `source` holds the design file's size, time and id; its content is
// hashed here, while the store is built, unless the snapshot's stamp
// vouches for it (Pds_PahSourceStamp::Vouches). When the snapshot is
// refused the hash (if one was made) is left in `source.hash` for the
// next snapshot.
// A `stop` test that answers true ends the read within a few thousand
// objects (null, why "cancelled"). A `progress` entry is moved on as the
// store is built, in bytes of the design file as a parse counts them.
std::unique_ptr<Xdm_ViewStore> Read(const std::string& path, const std::string& design,
                                    Pds_PahSourceStamp& source, std::string& why,
                                    bool (*stop)() = nullptr,
                                    Pds_PahLoadProgress::Entry* progress = nullptr);

// Rebuilds a store from snapshot bytes in memory (which must stay valid as
// long as the store), checking everything but the source stamp; with
// `checkSum` false, not the checksum either (for fuzzing the structure).
std::unique_ptr<Xdm_ViewStore> ReadBytes(const char* data, std::size_t size, bool checkSum,
                                         std::string& why);

// XXH3-64 of a file's bytes; false when it cannot be read. On a thread
// of Port_ThrThread, a cancel ends it early (false) within 32 MiB.
bool HashFile(const std::string& path, std::uint64_t& hash);
// Sets the design file's id and time of change in the snapshot at `path`
// in place, when it was made from the bytes `source`'s size, time and hash
// describe: from then on they vouch for them. False when it was not.
bool Vouch(const std::string& path, const Pds_PahSourceStamp& source);

// How many design files Read has hashed in this process (for tests).
std::uint64_t DesignsHashed();

// The checksum a snapshot of these bytes must carry (for tools and tests
// that make snapshots by hand).
std::uint64_t Checksum(const char* data, std::size_t size);

}  // namespace Pds_PahSnapshot
