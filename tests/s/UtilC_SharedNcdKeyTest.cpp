// Identity and order of design keys, and the owner references they hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "TestDesigns.h"
#include "UtilC_SharedNcdKey.h"

using UtilC::SharedNcd::Key;

TEST(Key, RelativeAndAbsoluteNamesOfOneFileAreOneKey) {
  auto owner = ncdtest::NewOwner();
  std::string absolute = (std::filesystem::current_path() / "design.ncd").string();
  Key relative("design.ncd", owner), full(absolute, owner), dotted("./sub/../design.ncd", owner);
  EXPECT_TRUE(relative == full);
  EXPECT_TRUE(dotted == relative);
  EXPECT_FALSE(relative < full);
  EXPECT_FALSE(full < relative);

  std::map<Key, int> filed;
  filed[relative] = 1;
  filed[full] = 2;
  filed[dotted] = 3;
  EXPECT_EQ(filed.size(), 1u);
  EXPECT_EQ(filed.begin()->second, 3);
}

TEST(Key, OwnersSeparateDesignsAndOrderByAddress) {
  auto a = ncdtest::NewOwner(), b = ncdtest::NewOwner();
  if (std::less<>()(b.get(), a.get())) std::swap(a, b);
  Key none("x.ncd", {}), first("x.ncd", a), second("x.ncd", b), earlyName("a.ncd", b);
  EXPECT_FALSE(first == second);
  EXPECT_TRUE(first < second);
  EXPECT_TRUE(none < first);       // a null owner sorts before every owner
  EXPECT_TRUE(none < earlyName);   // owners decide before names
  EXPECT_TRUE(first < earlyName);
  EXPECT_FALSE(second < first);
}

TEST(Key, DifferentFilesOfOneOwnerDiffer) {
  auto owner = ncdtest::NewOwner();
  Key a("a.ncd", owner), b("b.ncd", owner);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);
}

TEST(Key, EveryCopyCountsTheOwnerOnce) {
  int live = ncdtest::Owner::Live();
  {
    auto owner = ncdtest::NewOwner();
    int count = 0;
    {
      Key key("a.ncd", owner);
      Key copy(key);
      Key assigned;
      assigned = copy;
      const Key& itself = assigned;  // self-assignment, past the compiler's warning
      assigned = itself;
      CommonI::RefCountOf(owner.get())->GetRefCount(&count);
      EXPECT_EQ(count, 4);
      EXPECT_EQ(assigned.m_owner, owner.get());
      EXPECT_EQ(assigned.m_fileName.view(), "a.ncd");
    }
    CommonI::RefCountOf(owner.get())->GetRefCount(&count);
    EXPECT_EQ(count, 1);
  }
  EXPECT_EQ(ncdtest::Owner::Live(), live);
}
