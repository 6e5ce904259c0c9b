// Snapshots: a design reopened from its snapshot answers exactly what its
// parse answers, and a snapshot that is stale or damaged in any way is
// ignored (the file is parsed again and the snapshot replaced), never
// trusted.
#include "Pds_PahSnapshot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DesignTestSupport.h"
#include "NcdGen.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahSnapshotCache.h"
#include "Pds_PahSnapshotFormat.h"
#include "Port_Thr.h"
#include "RunProgram.h"
#include "ViewDescription.h"
#include "Xdm_ViewStore.h"

namespace {

namespace fs = std::filesystem;
namespace snap = Pds_PahSnap;
using Counts = Pds_PahSnapshotCache::Counts;
using design_test::CacheScope;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Describe(const std::string& path) {
  design_test::Loaded loaded = design_test::Load(path);
  return DescribeView(*loaded.cad());
}

// What a parse answers, the cache off.
std::string Parsed(const std::string& path) {
  const char* policy = std::getenv("NCD_CACHE");
  const std::string saved = policy ? policy : "";
  ::setenv("NCD_CACHE", "off", 1);
  std::string text = Describe(path);
  if (policy) {
    ::setenv("NCD_CACHE", saved.c_str(), 1);
  } else {
    ::unsetenv("NCD_CACHE");
  }
  return text;
}

// The change of the process's counts over `step`.
Counts CountsOf(const std::function<void()>& step) {
  const Counts before = Pds_PahSnapshotCache::GetCounts();
  step();
  const Counts after = Pds_PahSnapshotCache::GetCounts();
  return {after.opened - before.opened, after.ignored - before.ignored,
          after.written - before.written, after.unwritten - before.unwritten};
}
std::string Text(const Counts& c) {
  return "opened " + std::to_string(c.opened) + " ignored " + std::to_string(c.ignored) +
         " written " + std::to_string(c.written) + " unwritten " + std::to_string(c.unwritten);
}

snap::Header HeaderOf(const std::string& snapshot) {
  snap::Header header{};
  const std::string bytes = ReadBytes(snapshot);
  std::memcpy(&header, bytes.data(), std::min(bytes.size(), sizeof header));
  return header;
}

std::string Generated(const design_test::TempDir& dir, std::uint64_t blocks, std::uint64_t seed) {
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{blocks, seed}, out);
  return dir.Write("gen" + std::to_string(blocks) + ".ncd.json", out.str());
}

std::string Gzipped(const design_test::TempDir& dir, const std::string& path) {
  const std::string bytes = ReadBytes(path);
  const std::string out = dir.Path("zipped.ncd.json.gz");
  gzFile gz = gzopen(out.c_str(), "wb");
  gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size()));
  gzclose(gz);
  return out;
}

// The answers of a parse on one thread, whatever the split minimum.
std::string ParsedOnOneThread(const std::string& design) {
  const std::uint64_t minimum = Pds_PahJsonLoader::SplitMinimum();
  Pds_PahJsonLoader::SetSplitMinimum(std::numeric_limits<std::uint64_t>::max());
  const std::string parsed = Parsed(design);
  Pds_PahJsonLoader::SetSplitMinimum(minimum);
  return parsed;
}

void ReopenAnswersWhatTheParseAnswers() {
  CacheScope scope;
  std::vector<std::string> designs = {design_test::DemoPath()};
  for (const char* name : {"blocks.ncd.json", "format_cases.ncd.json", "io_reject.ncd.json",
                           "no_device.ncd.json", "tiny.ncd.json", "tiny_reordered.ncd.json"})
    designs.push_back(design_test::DataPath(name));
  designs.push_back(Generated(scope.Dir(), 300, 1));
  designs.push_back(Generated(scope.Dir(), 3000, 2));
  designs.push_back(Gzipped(scope.Dir(), design_test::DemoPath()));
  for (const std::string& design : designs) {
    SCOPED_TRACE(design);
    const std::string parsed = ParsedOnOneThread(design);
    const std::string snapshot = Pds_PahSnapshotCache::PathOf(design);
    fs::remove(snapshot);
    EXPECT_EQ(Text(CountsOf([&] { EXPECT_EQ(Describe(design), parsed); })), Text({0, 0, 1, 0}));
    ASSERT_TRUE(fs::exists(snapshot));
    EXPECT_EQ(Text(CountsOf([&] {
                design_test::Loaded loaded = design_test::Load(design);
                EXPECT_EQ(DescribeView(*loaded.cad()), parsed);
                const std::string again = scope.Dir().Path("again.ncdsnap");
                const snap::Header header = HeaderOf(snapshot);
                ASSERT_TRUE(Pds_PahSnapshot::Write(
                    Xdm_Access::Store(*loaded.view),
                    {header.sourceSize, header.sourceTimeNs, header.sourceHash, header.sourceDevice,
                     header.sourceInode, header.sourceChangeNs},
                    again));
                EXPECT_TRUE(ReadBytes(again) == ReadBytes(snapshot));
              })),
              Text({1, 0, 0, 0}));
  }
}

// Every design kind: the demo, the test designs that load, generated ones,
// and a compressed file. Each is parsed (on one thread, then on two where
// it can be) and snapshotted, then reopened from the snapshot; both answer
// what a parse answers, and a snapshot of the reopened store is the same
// file, byte for byte.
TEST(Snapshot, ReopenAnswersWhatTheParseAnswers) {
  for (const std::uint64_t minimum : {Pds_PahJsonLoader::kSplitMinimum, std::uint64_t{0}}) {
    Pds_PahJsonLoader::SetSplitMinimum(minimum);
    ReopenAnswersWhatTheParseAnswers();
  }
  Pds_PahJsonLoader::SetSplitMinimum(Pds_PahJsonLoader::kSplitMinimum);
}

// The directory of a snapshot's bytes.
std::vector<snap::SectionEntry> Directory(const std::string& bytes) {
  std::vector<snap::SectionEntry> entries(snap::kSectionCount);
  std::memcpy(entries.data(), bytes.data() + bytes.size() - entries.size() * sizeof entries[0],
              entries.size() * sizeof entries[0]);
  return entries;
}
std::size_t DirectoryStart(const std::string& bytes) {
  return bytes.size() - snap::kSectionCount * sizeof(snap::SectionEntry);
}

// A change made to a snapshot or to its design file after the snapshot was
// written. The load after it parses (and writes a new snapshot); the one
// after that opens the new snapshot.
struct Damage {
  std::string name;
  std::function<void(std::string& snapshot)> bytes;       // or null
  std::function<void(const std::string& design)> design;  // or null
};

std::vector<Damage> Damages(const std::string& sample) {
  std::vector<Damage> damages = {
      {"cut to its header", [](std::string& b) { b.resize(sizeof(snap::Header)); }, nullptr},
      {"cut in half", [](std::string& b) { b.resize(b.size() / 2); }, nullptr},
      {"cut by 8 bytes", [](std::string& b) { b.resize(b.size() - 8); }, nullptr},
      {"emptied", [](std::string& b) { b.clear(); }, nullptr},
      {"longer by 8 bytes", [](std::string& b) { b.append(8, '\0'); }, nullptr},
      {"another magic", [](std::string& b) { b[0] ^= 1; }, nullptr},
      {"another version, summed again",
       [](std::string& b) {
         b[offsetof(snap::Header, version)] ^= 1;
         const std::uint64_t sum = Pds_PahSnapshot::Checksum(b.data(), b.size());
         std::memcpy(b.data() + offsetof(snap::Header, checksum), &sum, sizeof sum);
       },
       nullptr},
      {"a byte of the checksum", [](std::string& b) { b[offsetof(snap::Header, checksum)] ^= 1; },
       nullptr},
      {"a byte of the source stamp",
       [](std::string& b) { b[offsetof(snap::Header, sourceHash)] ^= 1; }, nullptr},
      {"a byte of the directory", [](std::string& b) { b[DirectoryStart(b) + 3] ^= 0x40; },
       nullptr},
      {"design one byte longer", nullptr,
       [](const std::string& d) { std::ofstream(d, std::ios::app) << ' '; }},
      {"design touched", nullptr,
       [](const std::string& d) {
         fs::last_write_time(d, fs::last_write_time(d) + std::chrono::seconds(1));
       }},
      {"design changed in content only", nullptr, [](const std::string& d) {
         const auto time = fs::last_write_time(d);
         std::string text = ReadBytes(d);
         const std::size_t at = text.find("demo_counter");
         ASSERT_NE(at, std::string::npos);
         text[at + 5] = 'C';
         WriteBytes(d, text);
         fs::last_write_time(d, time);
       }}};
  // A flipped byte in the middle of every section that has one.
  const std::vector<snap::SectionEntry> directory = Directory(sample);
  for (std::uint32_t id = 0; id < snap::kSectionCount; ++id) {
    const snap::SectionEntry e = directory[id];
    if (e.count == 0) continue;
    const std::size_t at = e.offset + e.count * e.recordSize / 2;
    damages.push_back({"a byte of section " + std::to_string(id),
                       [at](std::string& b) { b[at] ^= 0x10; }, nullptr});
  }
  return damages;
}

TEST(Snapshot, DamageOrAChangedSourceFallsBackToParsing) {
  CacheScope scope;
  const std::string original = ReadBytes(design_test::DemoPath());
  const std::string design = scope.Dir().Write("demo.ncd.json", original);
  const std::string snapshot = Pds_PahSnapshotCache::PathOf(design);
  Describe(design);
  const std::vector<Damage> damages = Damages(ReadBytes(snapshot));
  EXPECT_GE(damages.size(), 30u);
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    WriteBytes(design, original);
    Describe(design);  // a sound snapshot of the file as it is
    if (damage.bytes) {
      std::string bytes = ReadBytes(snapshot);
      damage.bytes(bytes);
      WriteBytes(snapshot, bytes);
    } else {
      damage.design(design);
    }
    const std::string parsed = Parsed(design);
    EXPECT_EQ(Text(CountsOf([&] { EXPECT_EQ(Describe(design), parsed); })), Text({0, 1, 1, 0}));
    EXPECT_EQ(Text(CountsOf([&] { EXPECT_EQ(Describe(design), parsed); })), Text({1, 0, 0, 0}));
  }
}

// The reason ReadBytes refuses `bytes` for ("" when it reads them), the
// checksum made right first: what a hand-made snapshot meets.
std::string Refusal(std::string bytes) {
  const std::uint64_t sum = Pds_PahSnapshot::Checksum(bytes.data(), bytes.size());
  std::memcpy(bytes.data() + offsetof(snap::Header, checksum), &sum, sizeof sum);
  std::vector<std::uint64_t> aligned((bytes.size() + 7) / 8);
  std::memcpy(aligned.data(), bytes.data(), bytes.size());
  std::string why;
  const auto store = Pds_PahSnapshot::ReadBytes(reinterpret_cast<const char*>(aligned.data()),
                                                bytes.size(), true, why);
  EXPECT_EQ(store == nullptr, !why.empty());
  return why;
}

// Sets a 32-bit field of record `index` of a section.
struct Patch {
  snap::Section section;
  std::size_t index;
  std::size_t field;  // offset in the record
  std::uint32_t value;
  void Apply(std::string& bytes) const {
    const snap::SectionEntry e = Directory(bytes)[section];
    ASSERT_LT(index, e.count);
    std::memcpy(bytes.data() + e.offset + index * e.recordSize + field, &value, sizeof value);
  }
};

// Record `index` of a section.
template <class T>
T RecordOf(const std::string& bytes, snap::Section section, std::size_t index) {
  const snap::SectionEntry e = Directory(bytes)[section];
  T record{};
  if (index < e.count)
    std::memcpy(&record, bytes.data() + e.offset + index * e.recordSize, sizeof record);
  return record;
}

// The index of the first record of a section that `pick` takes (the count
// when there is none).
template <class T, class Pick>
std::size_t FirstWhere(const std::string& bytes, snap::Section section, Pick pick) {
  const std::size_t count = Directory(bytes)[section].count;
  for (std::size_t i = 0; i < count; ++i) {
    if (pick(RecordOf<T>(bytes, section, i))) return i;
  }
  return count;
}

// Sets the byte at `offset` in record `index` of a section, the rest of
// its 32-bit word kept.
Patch OneByte(const std::string& bytes, snap::Section section, std::size_t index,
              std::size_t offset, std::uint8_t value) {
  const snap::SectionEntry e = Directory(bytes)[section];
  const std::size_t field = offset & ~std::size_t{3};
  std::uint32_t word = 0;
  std::memcpy(&word, bytes.data() + e.offset + index * e.recordSize + field, sizeof word);
  const unsigned shift = static_cast<unsigned>(offset - field) * 8;
  return {section, index, field, (word & ~(0xFFu << shift)) | (std::uint32_t{value} << shift)};
}

// A list of a pool whose second entry repeats its first.
Patch RepeatFirst(const std::string& bytes, snap::Section pool, snap::Slice list) {
  return {pool, list.first + 1, 0, RecordOf<std::uint32_t>(bytes, pool, list.first)};
}
// A list, held at `offset` in record `index` of a section, one entry short.
Patch Shorten(snap::Section section, std::size_t index, std::size_t offset, snap::Slice list) {
  return {section, index, offset + offsetof(snap::Slice, count), list.count - 1};
}

// A patch to a sound snapshot and the reason the patched one is refused.
struct Refused {
  const char* name;
  Patch patch;
  const char* why;
};
void ExpectRefused(const std::string& sound, std::initializer_list<Refused> cases) {
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = sound;
    c.patch.Apply(bytes);
    EXPECT_EQ(Refusal(bytes), c.why);
  }
}

// The snapshot the loader writes of `design`, which reads back.
std::string SoundSnapshot(const std::string& design) {
  CacheScope scope;
  Describe(design);
  std::string sound = ReadBytes(Pds_PahSnapshotCache::PathOf(design));
  EXPECT_EQ(Refusal(sound), "");
  return sound;
}

// Snapshots made by hand, with a right checksum, that would give a view
// that reads out of place or loops: each is refused for its reason.
TEST(Snapshot, HandMadeSnapshotsAreCheckedRecordByRecord) {
  const std::string sound = SoundSnapshot(design_test::DemoPath());
  const std::vector<snap::SectionEntry> directory = Directory(sound);
  const auto firstBlockOf = [&](snap::Section section) {
    snap::Block block{};  // the first record that is not the top
    std::memcpy(&block, sound.data() + directory[section].offset + sizeof block, sizeof block);
    return block;
  };
  const snap::Block second = firstBlockOf(snap::kBlocks);
  snap::Pin pin{};
  std::memcpy(&pin, sound.data() + directory[snap::kPins].offset, sizeof pin);
  const std::uint32_t otherBlock = pin.block == 0 ? second.bridgeId : 0;
  const std::uint32_t huge = 0xFFFFFFF0u;
  // Blocks and networks with lists to reach past or to repeat an entry of.
  const auto misc = RecordOf<snap::Misc>(sound, snap::kMisc, 0);
  const std::size_t noSignals = FirstWhere<snap::Block>(sound, snap::kBlocks, [&](const auto& b) {
    return b.signals.count == 0 && b.signals.first < misc.tables[2];
  });
  const std::size_t noPins = FirstWhere<snap::Block>(sound, snap::kBlocks, [&](const auto& b) {
    return b.pins.count == 0 && b.pins.first < misc.tables[1];
  });
  const std::size_t parent = FirstWhere<snap::Block>(
      sound, snap::kBlocks, [](const auto& b) { return b.children.count >= 2; });
  const std::size_t bigNet = FirstWhere<snap::Network>(
      sound, snap::kNetworks, [](const auto& n) { return n.signals.count >= 2; });
  ASSERT_LT(std::max({noSignals, noPins, parent}), directory[snap::kBlocks].count);
  const std::size_t bigSignal = FirstWhere<snap::Signal>(
      sound, snap::kSignals, [](const auto& s) { return s.pins.count >= 2; });
  ASSERT_LT(bigSignal, directory[snap::kSignals].count);
  const auto signalPins = RecordOf<snap::Signal>(sound, snap::kSignals, bigSignal).pins;
  const std::size_t withUsage =
      FirstWhere<snap::Extra>(sound, snap::kExtras, [](const auto& e) { return e.hasUsage != 0; });
  const std::size_t masterVcc = FirstWhere<snap::Network>(
      sound, snap::kNetworks, [&](const auto& n) { return n.bridgeId == misc.masterVcc; });
  const std::size_t partlyRouted =
      FirstWhere<snap::RugNode>(sound, snap::kRugNodes, [&](const auto& n) {
        return n.next != snap::kNone && n.next + 1 < directory[snap::kRugNodes].count;
      });
  ASSERT_LT(bigNet, directory[snap::kNetworks].count);
  ASSERT_LT(masterVcc, directory[snap::kNetworks].count);
  ASSERT_LT(withUsage, directory[snap::kExtras].count);
  ASSERT_LT(partlyRouted, directory[snap::kRugNodes].count);
  const std::uint32_t secondNode =
      RecordOf<snap::RugNode>(sound, snap::kRugNodes, partlyRouted).next;
  const auto children = RecordOf<snap::Block>(sound, snap::kBlocks, parent).children;
  const auto netSignals = RecordOf<snap::Network>(sound, snap::kNetworks, bigNet).signals;
  ExpectRefused(
      sound,
      {
          {"a pin of no block",
           {snap::kPins, 0, offsetof(snap::Pin, block), huge},
           "a reference to no object"},
          {"a pin in another block's pins",
           {snap::kPins, 0, offsetof(snap::Pin, block), otherBlock},
           "a pin out of place"},
          {"two pins of one id",
           {snap::kPins, 1, offsetof(snap::Pin, bridgeId), 0},
           "an object out of place"},
          {"a signal ahead of its id",
           {snap::kSignals, 0, offsetof(snap::Signal, bridgeId), 1},
           "an object out of place"},
          {"a signal id past the table",
           {snap::kPins, 0, offsetof(snap::Pin, signal), huge},
           "a reference to no object"},
          {"a block placed past the device's cells",
           {snap::kBlocks, 0, offsetof(snap::Block, site), huge},
           "a reference to no object"},
          {"a block its own parent",
           {snap::kBlocks, 1, offsetof(snap::Block, parent), second.bridgeId},
           "a block out of place"},
          {"a second top",
           {snap::kBlocks, 1, offsetof(snap::Block, parent), snap::kNone},
           "a block out of place"},
          {"a child listed under the wrong parent",
           {snap::kChildPool, 0, 0, 0},
           "a child out of place"},
          {"a name past the texts",
           {snap::kBlocks, 0, offsetof(snap::Block, name), huge - 1},
           "a text out of place"},
          {"a block without a name",
           {snap::kBlocks, 0, offsetof(snap::Block, name), snap::kNone},
           "a missing name"},
          {"a pin list past the pool",
           {snap::kSignals, 0, offsetof(snap::Signal, pins) + 4, huge},
           "a list out of place"},
          {"a pin list starting past the pool",
           {snap::kSignals, 0, offsetof(snap::Signal, pins), huge},
           "a list out of place"},
          {"a pin table of four billion slots",
           {snap::kMisc, 0, offsetof(snap::Misc, tables) + 4, huge},
           "a table of the wrong size"},
          {"a rug node that follows itself",
           {snap::kRugNodes, 0, offsetof(snap::RugNode, next), 0},
           "a rug out of place"},
          {"a rug of another network",
           {snap::kRugs, 0, offsetof(snap::Rug, network), huge},
           "a reference to no object"},
          {"a net's signal in another net", {snap::kNetSignals, 0, 0, 0}, "a signal out of place"},
          {"a block's signals reaching into another block's",
           {snap::kBlocks, noSignals, offsetof(snap::Block, signals) + 4, 1},
           "a list out of place"},
          {"a block's pins reaching into another block's",
           {snap::kBlocks, noPins, offsetof(snap::Block, pins) + 4, 1},
           "a list out of place"},
          {"a child listed twice", RepeatFirst(sound, snap::kChildPool, children),
           "a child out of place"},
          {"a child left out of its parent's list",
           Shorten(snap::kBlocks, parent, offsetof(snap::Block, children), children),
           "a child out of place"},
          {"a signal listed twice by its net", RepeatFirst(sound, snap::kNetSignals, netSignals),
           "a signal out of place"},
          {"a signal left out of its net's list",
           Shorten(snap::kNetworks, bigNet, offsetof(snap::Network, signals), netSignals),
           "a signal out of place"},
          {"a pin listed twice by its signal", RepeatFirst(sound, snap::kSignalPins, signalPins),
           "a pin out of place"},
          {"a pin left out of its signal's list",
           Shorten(snap::kSignals, bigSignal, offsetof(snap::Signal, pins), signalPins),
           "a pin out of place"},
          {"a network of an unknown type",
           OneByte(sound, snap::kNetworks, 0, offsetof(snap::Network, type), 3),
           "an unknown value"},
          {"a network delay of an unknown kind",
           OneByte(sound, snap::kNetworks, 0, offsetof(snap::Network, delayType), 3),
           "an unknown value"},
          {"a pin delay of an unknown kind",
           OneByte(sound, snap::kPins, 0, offsetof(snap::Pin, delayType), 3), "an unknown value"},
          {"a rug of three nodes",
           {snap::kRugNodes, secondNode, offsetof(snap::RugNode, next), secondNode + 1},
           "a rug out of place"},
          {"a master power net of logic type",
           OneByte(sound, snap::kNetworks, masterVcc, offsetof(snap::Network, type), 2),
           "a master net of another type"},
          {"usage not answered from the store",
           OneByte(sound, snap::kExtras, withUsage, offsetof(snap::Extra, usageBound), 0),
           "a usage out of place"},
          {"a configuration pair without a name",
           {snap::kPairs, 0, offsetof(snap::Pair, first), snap::kNone},
           "a missing name"},
          {"a cell without a type",
           {snap::kCells, 0, offsetof(snap::Cell, def), snap::kNone},
           "a reference to no object"},
      });
  // The directory: a section past the end of the file.
  std::string bytes = sound;
  const std::uint64_t past = bytes.size();
  std::memcpy(bytes.data() + DirectoryStart(bytes) + snap::kPins * sizeof(snap::SectionEntry),
              &past, sizeof past);
  EXPECT_EQ(Refusal(bytes), "a section out of place");
}

// The id tables may end in spare slots (a file's "spare_ids"): no list may
// name one, and none is on a network.
TEST(Snapshot, SpareIdsStayEmpty) {
  const std::string sound = SoundSnapshot(design_test::DataPath("format_cases.ncd.json"));
  const auto misc = RecordOf<snap::Misc>(sound, snap::kMisc, 0);
  const std::uint32_t spareSignal = misc.tables[2] - 1, sparePin = misc.tables[1] - 1;
  ASSERT_EQ(Directory(sound)[snap::kSignals].count + 4, misc.tables[2]);
  const auto someNet = RecordOf<snap::Network>(sound, snap::kNetworks, 0);
  const auto someSignal = RecordOf<snap::Signal>(sound, snap::kSignals, 0);
  ExpectRefused(sound, {
                           {"a spare signal slot on a network",
                            {snap::kSignalNets, spareSignal, 0, someNet.bridgeId},
                            "a signal out of place"},
                           {"a network listing a spare signal slot",
                            {snap::kNetSignals, someNet.signals.first, 0, spareSignal},
                            "a signal out of place"},
                           {"a signal listing a spare pin slot",
                            {snap::kSignalPins, someSignal.pins.first, 0, sparePin},
                            "a reference to no object"},
                       });
}

// What a person sees: ncdinfo says when a design came from its snapshot,
// and describes it as the parse did.
TEST(Snapshot, NcdinfoSaysWhenTheSnapshotWasUsed) {
  CacheScope scope;
  const std::string design = scope.Dir().Write("demo.ncd.json", ReadBytes(design_test::DemoPath()));
  const auto run = [&] {
    const ncdtest::RunResult result = ncdtest::RunProgram("ncdinfo", {design});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::size_t firstLine = result.out.find('\n');
    const std::string head = result.out.substr(0, firstLine);
    return std::make_pair(head.substr(head.find("  (loaded in ")), result.out.substr(firstLine));
  };
  const auto parsed = run();
  const auto reopened = run();
  EXPECT_EQ(parsed.first.find("snapshot"), std::string::npos) << parsed.first;
  EXPECT_NE(reopened.first.find(" s, from its snapshot)"), std::string::npos) << reopened.first;
  EXPECT_EQ(reopened.second, parsed.second);
  fs::last_write_time(design, fs::last_write_time(design) + std::chrono::seconds(1));
  EXPECT_EQ(run().first.find("snapshot"), std::string::npos);
}

// A loading thread cancelled before it reads the snapshot fails as a
// cancelled parse does, and the snapshot stays for the next load; a read
// whose stop test turns true part way through a large design ends there.
TEST(Snapshot, ACancelledLoadStopsReadingTheSnapshot) {
  CacheScope scope;
  const std::string demo = scope.Dir().Write("demo.ncd.json", ReadBytes(design_test::DemoPath()));
  Describe(demo);
  struct Job {
    std::string path;
    std::atomic<bool> go{false};
    std::string error;
  } job;
  job.path = demo;
  Port_ThrThread worker(
      [](void* arg) -> void* {
        auto* j = static_cast<Job*>(arg);
        while (!j->go.load())
          Port_ThrThread::yield();
        try {
          design_test::Load(j->path);
        } catch (const std::exception& e) {
          j->error = e.what();
        }
        return nullptr;
      },
      &job);
  worker.cancel();
  job.go = true;
  worker.join();
  EXPECT_EQ(job.error, demo + ": reading cancelled");
  EXPECT_EQ(Text(CountsOf([&] { Describe(demo); })), Text({1, 0, 0, 0}));

  // Enough blocks for the first poll (every 65,536 records) to come.
  const std::string large = Generated(scope.Dir(), 25000, 3);
  design_test::Load(large);
  static std::atomic<int> asked;
  asked = 0;
  Pds_PahSourceStamp stamp{fs::file_size(large),
                           HeaderOf(Pds_PahSnapshotCache::PathOf(large)).sourceTimeNs, 0};
  std::string why;
  EXPECT_EQ(Pds_PahSnapshot::Read(Pds_PahSnapshotCache::PathOf(large), large, stamp, why,
                                  [] { return ++asked > 1; }),
            nullptr);
  EXPECT_EQ(why, "cancelled");
  EXPECT_GT(asked.load(), 1);

  // Uncancelled, the read moves a load's progress on as a parse would:
  // in bytes of the design file, up to its size at the end.
  static std::vector<Pds_PahLoadProgress::Figures> seen;
  static Pds_PahLoadProgress::Entry* entry;
  seen.clear();
  Pds_PahLoadProgress::Entry progress(large);
  entry = &progress;
  stamp.hash = 0;
  EXPECT_NE(Pds_PahSnapshot::Read(
                Pds_PahSnapshotCache::PathOf(large), large, stamp, why,
                [] {
                  seen.push_back(entry->Read());
                  return false;
                },
                &progress),
            nullptr);
  ASSERT_GE(seen.size(), 2u);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].total, stamp.size);
    EXPECT_GT(seen[i].done, seen[i - 1].done);
    EXPECT_LT(seen[i].done, seen[i].total);
  }
  EXPECT_EQ(progress.Read().done, stamp.size);
}

// The folder keeps within NCD_CACHE_MAX_MB: writing a snapshot removes the
// ones used longest ago (opening one counts as using it), never the new
// one; a writer's file left for over an hour goes too, a fresh one stays.
TEST(Snapshot, TheFolderKeepsWithinItsLimit) {
  CacheScope scope;
  std::vector<std::string> designs;
  for (const char* name : {"a.ncd.json", "b.ncd.json", "c.ncd.json"}) {
    designs.push_back(scope.Dir().Write(name, ReadBytes(Generated(scope.Dir(), 3000, 2))));
  }
  design_test::Load(designs[0]);
  const std::uint64_t each = fs::file_size(Pds_PahSnapshotCache::PathOf(designs[0]));
  ASSERT_GT(each, std::uint64_t{1} << 20);
  scope.Save("NCD_CACHE_MAX_MB", std::to_string((2 * each >> 20) + 1).c_str());
  const std::string folder = Pds_PahSnapshotCache::Folder();
  const std::string stale = folder + "/x.ncdsnap.1.tmp", fresh = folder + "/y.ncdsnap.2.tmp";
  WriteBytes(stale, "left by a writer that died");
  WriteBytes(fresh, "being written");
  fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
  design_test::Load(designs[1]);
  EXPECT_EQ(Text(CountsOf([&] { design_test::Load(designs[0]); })), Text({1, 0, 0, 0}));
  design_test::Load(designs[2]);
  EXPECT_TRUE(fs::exists(Pds_PahSnapshotCache::PathOf(designs[0])));
  EXPECT_FALSE(fs::exists(Pds_PahSnapshotCache::PathOf(designs[1])));
  EXPECT_TRUE(fs::exists(Pds_PahSnapshotCache::PathOf(designs[2])));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh));
}

// NCD_CACHE_MAX_MB is a whole number of megabytes; one too large to
// count in bytes is no limit (not a wrapped, tiny one), anything else the
// default.
TEST(Snapshot, TheLimitIsAWholeNumberOfMegabytes) {
  constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();
  constexpr std::uint64_t kDefault = Pds_PahSnapshotCache::kDefaultLimit;
  const struct {
    const char* value;
    std::uint64_t limit;
  } cases[] = {{"0", 0},
               {"1000", std::uint64_t{1000} << 20},
               {"17592186044415", std::uint64_t{17592186044415} << 20},
               {"17592186044416", kNoLimit},  // 2^44 MiB: 2^64 bytes
               {"99999999999999999999", kNoLimit},
               {"-1", kDefault},
               {"+1", kDefault},
               {" 2", kDefault},
               {"2 ", kDefault},
               {"1e3", kDefault},
               {"abc", kDefault},
               {"", kDefault}};
  CacheScope scope;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ::setenv("NCD_CACHE_MAX_MB", c.value, 1);
    EXPECT_EQ(Pds_PahSnapshotCache::Limit(), c.limit);
  }
  ::unsetenv("NCD_CACHE_MAX_MB");
  EXPECT_EQ(Pds_PahSnapshotCache::Limit(), kDefault);
}

// A design file written to while it is parsed, or renamed over, is not
// snapshotted, even when the new file has the old one's size and time (as
// a copy that keeps times makes it): the snapshot would claim the new
// bytes and hold what was parsed of the old.
TEST(Snapshot, AFileChangedWhileParsedIsNotSnapshotted) {
  CacheScope scope;
  const std::string original = ReadBytes(design_test::DemoPath());
  std::string other = original;
  other[other.find("demo_counter")] = 'D';
  for (const bool renamed : {false, true}) {
    SCOPED_TRACE(renamed ? "renamed over" : "written to");
    const std::string design = scope.Dir().Write("changed.ncd.json", original);
    fs::remove(Pds_PahSnapshotCache::PathOf(design));
    Pds_PahSnapshotCache cache(design);
    const std::unique_ptr<Xdm_ViewStore> store = Pds_PahJsonLoader(design).Load();
    const fs::file_time_type time = fs::last_write_time(design);
    const std::string written = renamed ? scope.Dir().Write("other.ncd.json", other) : design;
    WriteBytes(written, other);
    fs::last_write_time(written, time);
    if (renamed) fs::rename(written, design);
    EXPECT_EQ(Text(CountsOf([&] { cache.Save(*store); })), Text({0, 0, 0, 0}));
    EXPECT_FALSE(fs::exists(Pds_PahSnapshotCache::PathOf(design)));
  }
}

// A design file's id and time of change vouch for its bytes: a reopen of
// the file unchanged since it was hashed does not hash it again. One whose
// time of change moved with the same bytes (its mode changed, a copy
// renamed over it, the snapshot's record of it damaged) is hashed, and
// the snapshot stamped again; so is one that changed too shortly before
// it was hashed, until an open finds that time far enough behind. Bytes
// changed with size and time put back are always found.
TEST(Snapshot, AFileUnchangedSinceHashedIsNotHashedAgain) {
  CacheScope scope;
  const std::string original = ReadBytes(design_test::DemoPath());
  std::string other = original;
  other[other.find("demo_counter") + 5] = 'C';
  const std::string design = scope.Dir().Write("vouched.ncd.json", original);
  const std::string snapshot = Pds_PahSnapshotCache::PathOf(design);
  const std::string parsed = Parsed(design);
  const std::string otherParsed = Parsed(scope.Dir().Write("other.ncd.json", other));
  const auto keepTime = [&](const std::function<void()>& change) {
    const fs::file_time_type time = fs::last_write_time(design);
    change();
    fs::last_write_time(design, time);
  };
  const std::function<void()> chmod = [&] {
    fs::permissions(design, fs::perms::owner_exec, fs::perm_options::add);
  };
  const std::function<void()> copyOver = [&] {
    keepTime([&] { fs::rename(scope.Dir().Write("copy.ncd.json", original), design); });
  };
  const std::function<void()> damage = [&] {
    std::string bytes = ReadBytes(snapshot);
    bytes[offsetof(snap::Header, sourceInode)] ^= 1;
    WriteBytes(snapshot, bytes);
  };
  const std::function<void()> rewrite = [&] { keepTime([&] { WriteBytes(design, other); }); };
  constexpr std::int64_t kHour = std::int64_t{3600} * 1000000000;
  struct Step {
    const char* name;
    std::int64_t settleNs;
    std::function<void()> change;
    Counts counts;
    std::uint64_t hashes;
    const std::string& answer;
  } steps[] = {
      {"first open, the file just written", kHour, nullptr, {0, 0, 1, 0}, 0, parsed},
      {"reopened, the file's time still too near", kHour, nullptr, {1, 0, 0, 0}, 1, parsed},
      {"reopened, that time now far enough", 0, nullptr, {1, 0, 0, 0}, 1, parsed},
      {"reopened, the file as stamped", 0, nullptr, {1, 0, 0, 0}, 0, parsed},
      {"its mode changed", 0, chmod, {1, 0, 0, 0}, 1, parsed},
      {"reopened after the mode changed", 0, nullptr, {1, 0, 0, 0}, 0, parsed},
      {"a copy renamed over it", 0, copyOver, {1, 0, 0, 0}, 1, parsed},
      {"its record in the snapshot damaged", 0, damage, {1, 0, 0, 0}, 1, parsed},
      {"reopened after the damage", 0, nullptr, {1, 0, 0, 0}, 0, parsed},
      {"its bytes changed, size and time put back", 0, rewrite, {0, 1, 1, 0}, 1, otherParsed},
      {"reopened after the change", 0, nullptr, {1, 0, 0, 0}, 0, otherParsed}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    Pds_PahSnapshotCache::SetSettleTime(step.settleNs);
    if (step.change) step.change();
    const std::uint64_t hashes = Pds_PahSnapshot::DesignsHashed();
    EXPECT_EQ(Text(CountsOf([&] { EXPECT_EQ(Describe(design), step.answer); })), Text(step.counts));
    EXPECT_EQ(Pds_PahSnapshot::DesignsHashed() - hashes, step.hashes);
  }
  Pds_PahSnapshotCache::SetSettleTime(-1);
}

// A design file cut short while it is hashed ends the hash early (a hash
// or false), never the process (as a mapping's lost pages would).
TEST(Snapshot, AFileCutShortWhileHashedIsNoFault) {
  design_test::TempDir dir;
  const std::string bytes(std::size_t{24} << 20, ' ');
  const std::string path = dir.Path("cut.ncd.json");
  for (int i = 0; i < 16; ++i) {
    WriteBytes(path, bytes);
    std::thread cut([&] {
      std::this_thread::sleep_for(std::chrono::microseconds(250 * i));
      fs::resize_file(path, 4096);
    });
    std::uint64_t hash = 0;
    Pds_PahSnapshot::HashFile(path, hash);
    cut.join();
  }
  ::mkfifo(dir.Path("fifo").c_str(), 0600);
  std::uint64_t hash = 0;
  EXPECT_FALSE(Pds_PahSnapshot::HashFile(dir.Path("fifo"), hash)) << "no writer is waited for";
}

// The loader takes blocks 256 levels below the top at most; a snapshot
// is held to the same, since walks of the hierarchy recurse once a level.
// A chain of 257 levels and a second child of the top, which the snapshot
// then moves under the last block of the chain, one level too deep.
TEST(Snapshot, BlocksNestedDeeperThanTheLoaderTakesAreRefused) {
  CacheScope scope;
  std::string text = R"({"format":"ncd-json","version":1,"part":"p",)";
  text += R"("top":{"name":"b0","level":0,"blocks":[)";
  for (int level = 1; level <= 256; ++level) {
    text += R"({"name":"b)" + std::to_string(level) + R"(","level":0)";
    if (level < 256) text += R"(,"blocks":[)";
  }
  for (int level = 256; level > 1; --level)
    text += "}]";
  text += R"(},{"name":"x","level":0}]}})";
  const std::string design = scope.Dir().Write("deep.ncd.json", text);
  Describe(design);
  std::string bytes = ReadBytes(Pds_PahSnapshotCache::PathOf(design));
  ASSERT_EQ(Refusal(bytes), "");
  // Blocks are numbered as they open: b<n> is n, x is 257.
  const auto recordOf = [&](std::uint32_t id) {
    return FirstWhere<snap::Block>(bytes, snap::kBlocks,
                                   [&](const snap::Block& b) { return b.bridgeId == id; });
  };
  const snap::Slice children = RecordOf<snap::Block>(bytes, snap::kBlocks, recordOf(0)).children;
  ASSERT_EQ(children.count, 2u);
  for (const Patch& patch :
       {Patch{snap::kChildPool, children.first, 0, 1},
        Patch{snap::kChildPool, children.first + 1, 0, 257},
        Patch{snap::kBlocks, recordOf(0), offsetof(snap::Block, children) + 4, 1},
        Patch{snap::kBlocks, recordOf(256), offsetof(snap::Block, children), children.first + 1},
        Patch{snap::kBlocks, recordOf(256), offsetof(snap::Block, children) + 4, 1},
        Patch{snap::kBlocks, recordOf(257), offsetof(snap::Block, parent), 256}})
    patch.Apply(bytes);
  EXPECT_EQ(Refusal(bytes), "blocks nested too deep");
}

}  // namespace
