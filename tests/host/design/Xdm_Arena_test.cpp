// The view's storage: arenas start small and grow, objects and texts never
// move, and a tiny design costs little memory.
#include "Xdm_Arena.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "DesignTestSupport.h"
#include "Port_Memory.h"
#include "Xdm_ObjectIndex.h"

namespace {

using namespace design_test;

struct Numbered {
  explicit Numbered(std::size_t n, std::vector<std::size_t>* freed = nullptr)
      : number(n), log(freed) {}
  ~Numbered() {
    if (log) log->push_back(number);
  }
  std::size_t number;
  std::vector<std::size_t>* log;
};

// Made one by one, after a Reserve or none, and with other arenas' objects
// taken in, one after another: every object keeps its address and its
// place.
TEST(XdmObjectArena, IndexesEveryChunkAndGrowsFromASmallOne) {
  using Arena = Xdm_ObjectArena<Numbered>;
  const std::size_t kMany = 4 * Arena::kLast + 7;  // past the growing chunks and into runs
  const struct {
    const char* name;
    std::size_t reserve, before, otherReserve, adopted, after;
    std::size_t adoptions = 1;  // arenas of `adopted` objects each
  } cases[] = {
      {"grown", 0, kMany, 0, 0, 0},
      {"reserved exactly", kMany, kMany, 0, 0, 0},
      {"reserved, then grown past it", 100, kMany, 0, 0, 0},
      {"another arena's objects taken in", 0, 5000, 0, kMany, 3 * Arena::kLast},
      {"a reserved arena's objects taken in", 0, 20, kMany, kMany, 30},
      {"three arenas taken in", 0, 100, 0, Arena::kLast + 3, 50, 3},
      {"five small arenas taken in", 0, 0, 0, 7, 0, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Arena arena;
    arena.Reserve(c.reserve);
    std::vector<Numbered*> made;
    for (std::size_t i = 0; i < c.before; ++i) {
      made.push_back(arena.Create(made.size()));
      if (i == 0 && c.reserve == 0) {
        EXPECT_EQ(arena.BytesReserved(), Arena::kFirst * sizeof(Numbered));
      }
    }
    for (std::size_t a = 0; c.adopted != 0 && a < c.adoptions; ++a) {
      Arena other;
      other.Reserve(c.otherReserve);
      for (std::size_t i = 0; i < c.adopted; ++i)
        made.push_back(other.Create(made.size()));
      arena.Adopt(std::move(other));
    }
    for (std::size_t i = 0; i < c.after; ++i)
      made.push_back(arena.Create(made.size()));
    ASSERT_EQ(arena.Size(), made.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
      ASSERT_EQ(arena.At(i), made[i]) << i;
      ASSERT_EQ(made[i]->number, i);
    }
    // The rows walk every object in order; an index built from them finds
    // each one by id and each id by address, seams included.
    std::size_t walked = 0;
    arena.ForEachRow([&](Numbered* first, std::size_t count) {
      for (std::size_t k = 0; k < count; ++k)
        ASSERT_EQ(first + k, made[walked + k]) << walked + k;
      walked += count;
    });
    EXPECT_EQ(walked, made.size());
    Xdm_ObjectIndex<Numbered> index;
    index.Build(arena.Size(), arena.Size() + 1, [&](auto row) { arena.ForEachRow(row); });
    for (std::size_t i = 0; i < made.size(); ++i) {
      ASSERT_EQ(index[i], made[i]) << i;
      ASSERT_EQ(index.IdOf(made[i]), i) << i;
    }
    EXPECT_EQ(index[made.size()], nullptr);
  }
  // Adopted arenas lie side by side: none is taken in once objects follow.
  {
    Arena taker, first, second;
    first.Create(0);
    taker.Adopt(std::move(first));
    taker.Create(1);
    second.Create(2);
    EXPECT_THROW(taker.Adopt(std::move(second)), std::logic_error);
    EXPECT_EQ(taker.Size(), 2u);
  }
  // A grown arena reserves never more than twice what it uses, plus a chunk.
  Arena arena;
  for (std::size_t i = 0; i < kMany; ++i)
    arena.Create(i);
  EXPECT_LE(arena.BytesReserved(), (2 * kMany + Arena::kLast) * sizeof(Numbered));
}

TEST(XdmObjectArena, DestroysInReverseOrderWhenTheTypeNeedsIt) {
  std::vector<std::size_t> freed;
  {
    Xdm_ObjectArena<Numbered> arena;
    for (std::size_t i = 0; i < 40; ++i)
      arena.Create(i, &freed);
  }
  ASSERT_EQ(freed.size(), 40u);
  for (std::size_t i = 0; i < 40; ++i)
    EXPECT_EQ(freed[i], 39 - i);
}

// A chunk that cannot be had, mapped or from the heap, fails the one
// Create with bad_alloc: nothing is made and the arena stays as it was.
#if !defined(__SANITIZE_ADDRESS__)  // its allocator refuses such sizes by ending the process
TEST(XdmObjectArena, AChunkThatCannotBeHadThrowsBadAlloc) {
  EXPECT_EQ(Port::Memory::MapPresent(std::size_t{1} << 60), nullptr);
  struct Vast {
    char bytes[std::size_t{1} << 44];  // a first chunk of 2^48 bytes
  };
  Xdm_ObjectArena<Vast> arena;
  EXPECT_THROW(arena.Create(), std::bad_alloc);
  EXPECT_EQ(arena.Size(), 0u);
  EXPECT_EQ(arena.BytesReserved(), 0u);
}
#endif

TEST(XdmStringArena, CopiesStayWhereTheyAreAsChunksGrow) {
  Xdm_StringArena arena;
  EXPECT_EQ(arena.BytesReserved(), 0u);
  EXPECT_STREQ(arena.Copy(""), "");
  EXPECT_EQ(arena.BytesReserved(), 0u);
  std::vector<std::pair<const char*, std::string>> copies;
  copies.emplace_back(arena.Copy("first"), "first");
  EXPECT_EQ(arena.BytesReserved(), Xdm_StringArena::kFirstChunk);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = "name_" + std::to_string(i) + std::string(i % 50, 'x');
    copies.emplace_back(arena.Copy(text), text);
  }
  const std::string huge(Xdm_StringArena::kLastChunk, 'h');  // a chunk of its own
  copies.emplace_back(arena.Copy(huge), huge);
  std::size_t used = 0;
  for (const auto& [copy, text] : copies) {
    ASSERT_EQ(copy, text);
    used += text.size() + 1;
  }
  EXPECT_LE(arena.BytesReserved(), 2 * used + Xdm_StringArena::kLastChunk);
  // The chunks' texts lie back to back, each copy inside one: a snapshot
  // writes them whole and finds a name by its address.
  std::size_t inChunks = 0;
  std::vector<std::pair<const char*, std::size_t>> chunks;
  arena.ForEachChunk([&](const char* first, std::size_t bytes) {
    chunks.emplace_back(first, bytes);
    inChunks += bytes;
  });
  EXPECT_EQ(inChunks, used);
  for (const auto& [copy, text] : copies) {
    const auto holds = [&, c = copy](const auto& chunk) {
      return !std::less<>()(c, chunk.first) && std::less<>()(c, chunk.first + chunk.second);
    };
    ASSERT_EQ(std::count_if(chunks.begin(), chunks.end(), holds), 1) << text;
  }
}

// Names reserved for, small and large, are all found after inserting, and
// a name is refused a second time, whether the index was a list before and
// whether its table is large enough to ask for large pages.
TEST(XdmNameIndex, ReservedRoomKeepsEveryNameFindable) {
  const struct {
    std::size_t before, names;
  } cases[] = {{0, 5000}, {5, 5000}, {40, 5000}, {40, 200000}};
  for (const auto [before, count] : cases) {
    SCOPED_TRACE(count);
    Xdm_NameIndex index;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i)
      names.push_back("cell_" + std::to_string(i) + std::string(i % 13, 'y'));
    for (std::size_t i = 0; i < before; ++i)
      ASSERT_TRUE(index.Insert(names[i], &names[i]));
    index.Reserve(names.size());
    for (std::size_t i = before; i < names.size(); ++i)
      ASSERT_TRUE(index.Insert(names[i], &names[i]));
    EXPECT_FALSE(index.Insert(names[3], nullptr));
    EXPECT_EQ(index.Size(), names.size());
    for (const std::string& name : names)
      ASSERT_EQ(index.Find(name), &name);
    EXPECT_EQ(index.Find("cell_"), nullptr);
  }
}

// A list (up to 16 names) passes over entries by a byte of each name:
// names that share that byte must still be told apart by their text, and
// a cleared list must not answer with its old entries.
TEST(XdmNameIndex, AListTellsApartNamesThatShareTheirEnds) {
  const std::vector<std::string> names = {"",
                                          "A",
                                          "A1",
                                          "A10",
                                          "pins_of_x_the_block",
                                          "pins_of_y_the_block",
                                          "pins_of_the_block",
                                          "12345678",
                                          "123456789",
                                          "1234567",
                                          std::string("a\0b", 3),
                                          std::string("a\0c", 3),
                                          "long_name_with_a_middle_0_and_end",
                                          "long_name_with_a_middle_1_and_end",
                                          "AQ",
                                          "AMUX"};
  const std::vector<std::string> absent = {"B",
                                           "A2",
                                           "pins_of_z_the_block",
                                           "12345670",
                                           std::string("a\0d", 3),
                                           "long_name_with_a_middle_2_and_end"};
  Xdm_NameIndex index;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "new" : "cleared");
    for (const std::string& name : names)
      ASSERT_TRUE(index.Insert(name, const_cast<std::string*>(&name))) << name;
    ASSERT_FALSE(index.IsLarge());
    for (const std::string& name : names) {
      EXPECT_EQ(index.Find(name), &name) << name;
      EXPECT_FALSE(index.Insert(std::string(name), nullptr)) << name;
    }
    for (const std::string& name : absent)
      EXPECT_EQ(index.Find(name), nullptr) << name;
    index.Clear();
    for (const std::string& name : names)
      EXPECT_EQ(index.Find(name), nullptr) << name;
  }
}

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Each design used to cost megabytes (first chunks of a megabyte for
// names, 4096 objects of each kind), whatever its size.
TEST(XdmViewMemory, ATinyDesignCostsUnder64KB) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers keep their own heap";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "the sanitizers keep their own heap";
#endif
#endif
  constexpr int kDesigns = 50;
  std::vector<Loaded> designs;
  designs.reserve(kDesigns);
  designs.push_back(Load(DataPath("tiny.ncd.json")));  // warms what a first load sets up
  const std::size_t before = HeapInUse();
  for (int i = 1; i < kDesigns; ++i)
    designs.push_back(Load(DataPath("tiny.ncd.json")));
  const double perDesign =
      (static_cast<double>(HeapInUse()) - static_cast<double>(before)) / (kDesigns - 1);
  EXPECT_LT(perDesign, 64 * 1024);
}

}  // namespace
