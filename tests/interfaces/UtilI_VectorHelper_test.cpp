// String containers and their iterators: order, removal through an
// iterator, counting and lifetime, and the dump texts.
#include "UtilI_VectorHelper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using CommonI::RefCountPtr;
using UtilI::IStringContainer;
using UtilI::IStringIterator;

namespace {

RefCountPtr<IStringContainer> Container(const std::vector<std::string>& texts) {
  RefCountPtr<IStringContainer> c = UtilI::MakeStringContainer();
  for (const std::string& t : texts) c->Add(t);
  return c;
}

RefCountPtr<IStringIterator> Iterator(IStringContainer& c) {
  RefCountPtr<IStringIterator> it;
  EXPECT_EQ(c.CreateIterator(it), 1u);
  return it;
}

std::vector<std::string> Strings(IStringContainer& c) {
  std::vector<std::string> out;
  for (auto it = Iterator(c); !it->IsDone(); it->Next()) out.push_back(it->GetCurrent().str());
  return out;
}

int Count(CitI::IInterface* object) {
  int n = -1;
  CommonI::RefCountOf(object)->GetRefCount(&n);
  return n;
}

TEST(StringContainer, AddAppendClearKeepInsertionOrder) {
  auto c = Container({"b", "a"});
  EXPECT_EQ(c->Append("c"), 1u);
  EXPECT_EQ(Strings(*c), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(c->GetSize(), 3u);
  EXPECT_EQ(c->Clear(), 1u);
  EXPECT_EQ(c->Clear(), 1u);
  EXPECT_EQ(c->GetSize(), 0u);
}

TEST(StringContainer, IteratorWalksThenStops) {
  auto c = Container({"x", "y", "z"});
  auto it = Iterator(*c);
  EXPECT_EQ(it->GetCurrent().str(), "x");
  EXPECT_EQ(it->Next(), 1u);
  EXPECT_EQ(it->Next(), 1u);
  EXPECT_EQ(it->Next(), 1u);
  EXPECT_EQ(it->IsDone(), 1u);
  EXPECT_EQ(it->Next(), 0u);
  EXPECT_EQ(it->GetCurrent().str(), "");
  EXPECT_EQ(it->Reset(), 1u);
  EXPECT_EQ(it->GetCurrent().str(), "x");
}

TEST(StringContainer, RemoveThroughIterator) {
  auto c = Container({"x", "y", "z"});
  auto it = Iterator(*c);
  it->Next();
  EXPECT_EQ(c->Remove(it), 1u);
  EXPECT_EQ(Strings(*c), (std::vector<std::string>{"x", "z"}));
  EXPECT_EQ(it->GetCurrent().str(), "z");
  // Nothing to remove: an empty reference, or an iterator at the end.
  EXPECT_EQ(c->Remove({}), 1u);
  it->Next();
  EXPECT_EQ(c->Remove(it), 1u);
  EXPECT_EQ(c->GetSize(), 2u);
}

TEST(StringContainer, RemoveRefusesIteratorsItDoesNotOwn) {
  auto c = Container({"x", "y"});
  auto other = Container({"p", "q"});
  EXPECT_EQ(c->Remove(Iterator(*other)), 0u);

  class Foreign : public IStringIterator {
   public:
    void* QueryInterface(const Port::XUID&) override { return nullptr; }
    Port::StringBase GetCurrent() override { return "x"; }
    CitI::Result Reset() override { return 1; }
    CitI::Result Next() override { return 0; }
    CitI::Result IsDone() override { return 0; }
    int Dump() override { return 0; }
  } foreign;
  EXPECT_EQ(c->Remove(RefCountPtr<IStringIterator>(&foreign)), 0u);
  EXPECT_EQ(Strings(*c), (std::vector<std::string>{"x", "y"}));
}

TEST(StringContainer, FacesAndCounts) {
  auto c = Container({"x"});
  void* counting = c->QueryInterface(CommonI::IID_IRefCount);
  ASSERT_NE(counting, nullptr);
  EXPECT_EQ(c->QueryInterface(CitI::IID_IInterface), counting);
  EXPECT_EQ(c->QueryInterface(UtilI::IID_IStringContainer), c.get());
  EXPECT_EQ(c->QueryInterface(UtilI::IID_IStringIterator), nullptr);
  EXPECT_EQ(Count(c.get()), 1);
  {
    auto it = Iterator(*c);
    EXPECT_EQ(Count(c.get()), 2);  // the iterator holds its container
    EXPECT_EQ(it->QueryInterface(UtilI::IID_IStringIterator), it.get());
    EXPECT_EQ(Count(it.get()), 1);
  }
  EXPECT_EQ(Count(c.get()), 1);
}

TEST(StringContainer, IteratorKeepsStringsAfterContainerRelease) {
  auto c = Container({"kept"});
  auto it = Iterator(*c);
  c.Reset();
  EXPECT_EQ(it->GetCurrent().str(), "kept");
}

TEST(StringContainer, DumpTexts) {
  auto c = Container({"a", "b"});
  auto it = Iterator(*c);
  testing::internal::CaptureStdout();
  c->Dump();
  it->Dump();
  it->Next();
  it->Next();
  it->Dump();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("VectorHelper<CHost,IContainer> ( UtilI::VectorHelperT<UtilI::IStringContainer> ).\n"
                      " element[0] == a\n element[1] == b\nVectorIteratorHelper<STLCollection> (",
                      0),
            0u)
      << out;
  EXPECT_NE(out.find("): Current item is \"a\"\n"), std::string::npos) << out;
  EXPECT_NE(out.find("): At End\n"), std::string::npos) << out;
}

}  // namespace
