// ncdgen: synthetic designs in the ncd-json format (docs/design-format.md),
// of a requested size, for benchmarks and tests.
//
// The output depends only on the options: the same options give the same
// bytes on every run, machine and library version (the generator uses its
// own random numbers and never a standard distribution). The functions keep
// no state between calls and may run on several threads at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>

namespace NcdGen {

// The fixed parts of a design (ports, global nets, a couple of modules)
// need about a hundred blocks; the top bound keeps every id within 32 bits
// with room to spare.
inline constexpr uint64_t kMinBlocks = 200;
inline constexpr uint64_t kMaxBlocks = 20'000'000;

struct Options {
  uint64_t blocks = 10000;  // wanted total block count, top and bels included
  uint64_t seed = 1;
};

// What the written design holds, counted the way the design loader numbers
// objects: every block, net, pin, signal and shape of the file once.
struct Stats {
  uint64_t blocks = 0;
  uint64_t nets = 0;
  uint64_t pins = 0;
  uint64_t signals = 0;
  uint64_t shapes = 0;
  uint64_t comps = 0;  // level 3 blocks, IOBs included
  uint64_t cells = 0;
  uint64_t groups = 0;  // relocation groups
  uint64_t bytes = 0;
};

// An empty string when the options are usable, else why not.
std::string CheckOptions(const Options& options);

// Writes one design. The block count lands within a few blocks above
// options.blocks. Throws std::invalid_argument for options CheckOptions
// refuses and std::runtime_error when the stream cannot be written; what
// was written before the failure is left to the caller (NcdTool_Output.h
// keeps a file's previous contents).
Stats WriteDesign(const Options& options, std::ostream& out);

}  // namespace NcdGen
