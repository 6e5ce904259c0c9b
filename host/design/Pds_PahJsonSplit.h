// Pds_PahJsonSplit: where a second thread can take over reading a design
// file (internal to the design loader).
//
// A large design file is mostly blocks, nested in the "blocks" arrays of
// their parents. The loading thread reads it from the start; a second
// thread scans its structure, building nothing (several times faster
// than reading): from the start to the top block's "blocks" array, then
// from there to a target a little past halfway between the loading
// thread and the file's end. There it picks a boundary between two
// elements of the shallowest array of blocks that is open at the target
// and still goes on a good way after it, then reads the elements from
// that boundary to the end of their array while the loading thread reads
// up to the boundary, and, done first, runs of the elements before it
// (Pds_PahJsonLoader's parallel part).
//
// The scan checks nothing: it only has to be right for a well-formed file.
// The loading thread takes over the second thread's work only when it
// reaches the boundary itself, as an element boundary of the same array,
// so a file that is not what the scan took it for is read by one thread.
//
// Both scans run on the part's thread only; the target the scan moves
// (Pds_PahJsonSplitScan::movingTarget) is the one thing the loading thread
// reads while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Pds_PahLoadProgress.h"

struct Pds_PahJsonSplitPoint {
  std::uint64_t array = 0;  // offset of the '[' of the array split
  std::uint64_t at = 0;     // offset of the first element the second thread reads
  std::uint32_t depth = 0;  // the depth of that array's blocks (the top's children are 1)
  // The blocks between the scanned array's owner and the split array's
  // owner, outermost first, the split array's owner last: each one's name
  // as read before its "blocks" (empty when it comes after them).
  std::vector<std::string> owners;
  // The boundaries between the split array's elements before `at`, in
  // file order (the first element's start is not among them), where the
  // second thread may take over more of it.
  std::vector<std::uint64_t> earlier;
};

struct Pds_PahJsonSplitScan {
  std::string fileName;
  std::uint64_t array = 0;  // offset of the '[' of the top's "blocks"
  // The least target. Where the loading thread tells how far it has read
  // (`loading`), the target moves on with it, to halfway between it and
  // the file's end: the part's thread, its scan done,
  // then reads about as much as the loading thread has left before the
  // boundary, however the two threads' speeds compared so far.
  std::uint64_t target = 0;
  const Pds_PahLoadProgress::Entry* loading = nullptr;
  double share = 0.5;  // of the way from the loading thread to the end
  // The target as it stands, for the loading thread to wait at: it only
  // moves on, and once the scan has reached it it moves no more.
  mutable std::atomic<std::uint64_t> movingTarget{0};
  // How far past the target a boundary of the shallowest array may lie;
  // a deeper array is split when none does.
  std::uint64_t window = 0;
  bool (*stop)() = nullptr;  // asked every buffer; true ends the scan
};

// The scans are built twice: for any x86-64 processor, and with AVX2,
// POPCNT, PCLMULQDQ and BMI1 (wider loads, one-instruction bit counts and
// string masks). kBest takes the second where the processor has them;
// the others are for tests, which compare the two (kAvx2 answers false
// where the processor lacks them).
enum class Pds_PahJsonScanBuild { kBest, kAny, kAvx2 };
bool Pds_PahJsonScanHasAvx2();

// The root object's "nets" as the scan for the top's blocks passed over
// them: how many objects the array holds and its length in bytes, '['
// to ']' (both 0 when it saw no whole array before the top's blocks).
struct Pds_PahJsonNetsSeen {
  std::uint64_t objects = 0;
  std::uint64_t bytes = 0;
};

// The offset of the '[' of the top block's "blocks" (the root object's
// "top", its "blocks"), scanning from the file's start; `stop` is asked
// every megabyte. False when the scan finds none (or the file cannot be
// read, or the scan was stopped). Like the split scan it checks nothing.
bool Pds_PahJsonFindTopBlocks(const std::string& fileName, bool (*stop)(), std::uint64_t& array,
                              Pds_PahJsonNetsSeen* nets = nullptr,
                              Pds_PahJsonScanBuild build = Pds_PahJsonScanBuild::kBest);

// Aims `scan` at what follows the top's blocks' '[' at `array` in a file
// of `size` bytes, `share` of the way to the end: a little past that when
// the loading thread does not tell its progress (it reads the nets and the
// device meanwhile, so the part comes out a little less than its share),
// else no sooner than a quarter of the way, and on with the loading thread,
// `share` of the way from it to the end.
void Pds_PahJsonAimSplit(Pds_PahJsonSplitScan& scan, std::uint64_t array, std::uint64_t size,
                         const Pds_PahLoadProgress::Entry* loading, double share = 0.5);

// False when no boundary fits (or the file cannot be read, or the scan
// was stopped).
bool Pds_PahJsonFindSplit(const Pds_PahJsonSplitScan& scan, Pds_PahJsonSplitPoint& point,
                          Pds_PahJsonScanBuild build = Pds_PahJsonScanBuild::kBest);
