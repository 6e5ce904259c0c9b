// The layout of a design snapshot file (internal to host_design).
//
// A snapshot is a view store written as flat arrays: a header, the
// sections, each an array of fixed-size records of this machine's byte
// order starting at a multiple of 8 bytes, and at the end the directory of
// the sections (so that the file is written, and summed, in one pass). Objects refer to each other
// by bridge id (blocks, pins, signals, networks, shapes) or by their index in their own section
// (everything else); kNone is "no object". Texts are offsets into the text section, whose every
// text ends with a NUL; the reader points the view's names into the mapped file itself.
//
// The checksum covers every byte after it; the design file's id, before
// it, may be set in place. A reader trusts nothing it has
// not checked: the header, the directory, the checksum, then every index
// and slice as it builds the store (docs/snapshots.md).
#pragma once

#include <xxhash.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace Pds_PahSnap {

inline constexpr char kMagic[8] = {'N', 'C', 'D', 'S', 'N', 'A', 'P', '\n'};
// Raised whenever a record, a section or the meaning of a field changes.
inline constexpr std::uint32_t kVersion = 3;
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

enum Section : std::uint32_t {
  kTexts,         // char
  kMisc,          // Misc, one
  kBlocks,        // Block
  kPins,          // Pin
  kSignals,       // Signal
  kNetworks,      // Network
  kShapes,        // Shape
  kShapeMembers,  // u32 block id
  kExtras,        // Extra
  kIo,            // Io
  kRugs,          // Rug
  kRugNodes,      // RugNode
  kRhoNodes,      // u32 reference block id
  kRho,           // RhoEntry
  kTypeBlocks,    // u32 text
  kCellDefs,      // CellDef: the blocks' own, then the device's
  kModeDefs,      // ModeDef
  kChildPool,     // u32 block id
  kBlockSignals,  // u32 signal id (empty while blocks' signals are runs of ids)
  kSignalPins,    // u32 pin id
  kNetSignals,    // u32 signal id
  kPairs,         // Pair
  kSignalNets,    // u32 network id per signal id
  kNetList,       // u32 network id (empty while the list is the network table)
  kShapeList,     // u32 shape id
  kRegions,       // Region
  kCells,         // Cell
  kSectionCount
};

struct Header {
  char magic[8];
  // The design file's id and time of change, which vouch for its bytes
  // (Pds_PahSourceStamp::Vouches). Outside the checksum: a reopen that had
  // to hash the file sets them in place, and damage to them costs no more
  // than a hash of the design file.
  std::uint64_t sourceDevice, sourceInode;
  std::int64_t sourceChangeNs;  // 0: the design file's bytes must be hashed
  std::uint64_t checksum;       // of every byte from `version` on: see CombineSums
  std::uint32_t version;
  std::uint32_t sectionCount;  // the directory: the file's last sectionCount entries
  // The design file this snapshot was made from.
  std::uint64_t sourceSize;
  std::int64_t sourceTimeNs;  // its modification time
  std::uint64_t sourceHash;   // XXH3-64 of its bytes as stored
};

struct SectionEntry {
  std::uint64_t offset;
  std::uint64_t count;
  std::uint32_t recordSize;
  std::uint32_t reserved;
};

struct Slice {
  std::uint32_t first, count;
};

struct Misc {
  std::uint32_t partName;
  std::uint32_t top, masterVcc, masterGnd;  // block, networks
  std::uint32_t tables[5];           // sizes of the block, pin, signal, network, shape tables
  std::uint32_t infoName, infoTool;  // kNone without design info
  std::uint32_t devicePart;          // kNone without a device
  std::uint32_t picPart;             // kNone without one
  std::uint32_t blockCellDefs;       // how many of kCellDefs are blocks' own
  std::uint32_t arenaTexts;          // bytes of kTexts before the texts kept elsewhere
  std::uint8_t shapesAvailable;
  std::uint8_t reserved[7];
};

struct Block {
  std::uint32_t name, config;
  std::uint32_t parent, type, extra;
  Slice children, signals, pins;
  std::uint32_t bridgeId, site;
  std::uint8_t level, flags, reserved[2];
};

struct Pin {
  std::uint32_t name, block, signal, childSignal, bridgeId;
  std::int32_t delay;
  std::uint8_t flags, delayType, reserved[2];
};

struct Signal {
  std::uint32_t name, block, network;
  Slice pins;
  std::uint32_t bridgeId;
};

struct Network {
  std::uint32_t name, rug;
  Slice signals;
  std::uint32_t bridgeId;
  std::int32_t delay, delayMin;
  std::uint8_t type, delayType, route, master, routable, reserved[3];
};

struct Shape {
  std::uint32_t name, reference;
  Slice members;
  std::uint32_t bridgeId;
  std::uint8_t user, membersUnavailable, reserved[2];
};

struct Extra {
  std::int32_t configSecurity, netlistSecurity;
  Slice usageData, usageInvalid, modes;
  std::uint32_t io, cellDef;  // cellDef: a block's own, in kCellDefs
  std::uint8_t hasUsage, hasModes, usageBound, reserved;
};

struct Io {
  std::uint32_t value[4];
  std::uint8_t reject, rejected, reserved[2];
};

struct Rug {
  std::uint32_t network, first;
  std::uint8_t full, reserved[3];
};

struct RugNode {
  std::uint32_t next, driver;
};

struct RhoEntry {
  std::uint32_t block, node;
};

struct CellDef {
  std::uint32_t name;
  Slice modes;  // in kModeDefs
};

struct ModeDef {
  std::uint32_t name;  // kNone for a definition without one
  std::uint8_t valid, hidden, isString, reserved;
};

struct Pair {
  std::uint32_t first, second;
};

struct Region {
  std::uint32_t name;
  std::int32_t bounds[4];
  std::uint8_t hasBounds, reserved[3];
};

struct Cell {
  std::uint32_t name, def, region, regionText, tile, packagePin, bank;
  std::int32_t x, y;
};

// The checksum is XXH3-64 of the XXH3-64 sums of the two halves of the
// bytes it covers (the first half is the shorter by at most one byte), so
// that two threads can sum a snapshot.
inline std::uint64_t HalfSum(const char* data, std::size_t size, int half) {
  const std::size_t skip = offsetof(Header, version);
  if (size < skip) return 0;
  const std::size_t first = (size - skip) / 2;
  return half == 0 ? XXH3_64bits(data + skip, first)
                   : XXH3_64bits(data + skip + first, size - skip - first);
}
inline std::uint64_t CombineSums(std::uint64_t first, std::uint64_t second) {
  const std::uint64_t both[2] = {first, second};
  return XXH3_64bits(both, sizeof both);
}

template <class T>
inline constexpr bool kRecord = std::is_trivially_copyable_v<T> && alignof(T) <= 8;
static_assert(kRecord<Header> && kRecord<Block> && kRecord<Pin> && kRecord<Cell>);
static_assert(sizeof(Header) == 72 && sizeof(SectionEntry) == 24);

}  // namespace Pds_PahSnap
