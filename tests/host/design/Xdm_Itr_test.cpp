// Lists over a table, over an object index and over an id pool: what a
// walk and a range yield, what an index answers where its objects do not
// lie in a row, and an id pool's copy on its first edit.
#include "Xdm_Itr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "Xdm_IdPool.h"

namespace {

constexpr std::uint32_t kNone = Xdm_ListSource<int>::kNone;

template <class List>
std::vector<int> Values(const List& list) {
  std::vector<int> values;
  for (int* p : list)
    values.push_back(*p);
  return values;
}

// A list and what a walk of it yields.
struct Walk {
  const char* name;
  Xdm_ListSource<int> source;
  std::size_t size;
  std::vector<int> walked;
};
void ExpectWalks(std::initializer_list<Walk> walks) {
  for (const Walk& c : walks) {
    SCOPED_TRACE(c.name);
    const Xdm_Itr<int> itr(c.source, c.size);
    EXPECT_EQ(Values(itr), c.walked);
    EXPECT_EQ(itr.Count(), c.walked.size());
    EXPECT_EQ(itr.IsDone(), c.walked.empty());
  }
}

TEST(Lists, WalksSkipRemovedObjectsAndRangesIndexThroughTheTable) {
  int objects[5] = {10, 11, 12, 13, 14};
  // Slot 3 is an object an editor removed.
  int* table[5] = {&objects[0], &objects[1], &objects[2], nullptr, &objects[4]};
  const std::uint32_t pool[] = {4, 3, 0, kNone, 2, 1};
  ExpectWalks({
      {"a run of the table", {table}, 5, {10, 11, 12, 14}},
      {"a run of a pool", {table, nullptr, pool}, 6, {14, 10, 12, 11}},
      {"a later run of a pool", {table, nullptr, pool + 2}, 3, {10, 12}},
      {"an empty run", {table, nullptr, pool}, 0, {}},
      {"removed objects only", {table, nullptr, pool + 1}, 1, {}},
  });
  // A range of children, which never holds a removed object, read
  // forwards, backwards and by index.
  const std::uint32_t children[] = {2, 0, 4, 1};
  const Xdm_Range<int> range({table, nullptr, children + 1}, 3);
  EXPECT_EQ(Values(range), (std::vector<int>{10, 14, 11}));
  std::vector<int> backwards;
  for (auto it = std::make_reverse_iterator(range.end());
       it != std::make_reverse_iterator(range.begin()); ++it)
    backwards.push_back(**it);
  EXPECT_EQ(backwards, (std::vector<int>{11, 14, 10}));
  EXPECT_EQ(*range[2], 11);
  EXPECT_EQ(range.end() - range.begin(), 3);
  EXPECT_EQ(*(range.begin() + 1), &objects[4]);
}

// Ids 0-23 lie in one chunk and 24-39 in another, so the second page of
// sixteen ids is split between them; ids 40 and 41 are spare. Each object
// is found by id, and its id by its address.
TEST(Lists, AnObjectIndexFindsEveryIdAcrossChunksAndAnswersNullForSpareAndRemovedOnes) {
  std::vector<int> first(24), second(16);
  for (int i = 0; i < 24; ++i)
    first[i] = 100 + i;
  for (int i = 0; i < 16; ++i)
    second[i] = 124 + i;
  auto at = [&](std::size_t id) { return id < 24 ? &first[id] : &second[id - 24]; };
  Xdm_ObjectIndex<int> index;
  index.Build(40, 42, [&](auto row) {
    row(first.data(), first.size());
    row(second.data(), second.size());
  });
  ASSERT_EQ(index.size(), 42u);
  for (std::size_t id = 0; id < 40; ++id) {
    EXPECT_EQ(index[id], at(id)) << id;
    EXPECT_EQ(index.IdOf(at(id)), id);
  }
  EXPECT_EQ(index[40], nullptr);
  EXPECT_EQ(index[41], nullptr);
  int elsewhere = 0;
  const int* past = first.data() + first.size();  // the end of a stretch, no object
  EXPECT_EQ(index.IdOf(&elsewhere), kNone);
  EXPECT_EQ(index.IdOf(past), kNone);
  EXPECT_EQ(index.IdOf(reinterpret_cast<const int*>(reinterpret_cast<const char*>(&first[3]) + 1)),
            kNone);
  index.Remove(20);
  EXPECT_EQ(index.IdOf(&first[20]), kNone);
  index.AddSpare(1);
  EXPECT_EQ(index[20], nullptr);
  EXPECT_EQ(index[21], &first[21]);
  EXPECT_EQ(index.size(), 43u);

  const std::uint32_t pool[] = {39, 20, 3, 23, 24};
  ExpectWalks({
      {"a run across the seam",
       {nullptr, &index, nullptr, 18},
       8,
       {118, 119, 121, 122, 123, 124, 125}},
      {"a run of a pool", {nullptr, &index, pool}, 5, {139, 103, 123, 124}},
  });
}

TEST(Lists, ABorrowedPoolIsCopiedOnItsFirstEdit) {
  const std::vector<std::uint32_t> mapped = {5, 6, 7};
  Xdm_IdPool pool;
  pool.Borrow(mapped.data(), mapped.size());
  EXPECT_EQ(pool.data(), mapped.data());
  std::uint32_t* own = pool.Edit();
  EXPECT_NE(own, mapped.data());
  own[1] = 9;
  EXPECT_EQ(mapped[1], 6u);
  EXPECT_EQ(pool.Edit(), own);  // already its own
  pool.Resize(5, kNone);
  EXPECT_EQ(std::vector<std::uint32_t>(pool.data(), pool.data() + pool.size()),
            (std::vector<std::uint32_t>{5, 9, 7, kNone, kNone}));
}

}  // namespace
