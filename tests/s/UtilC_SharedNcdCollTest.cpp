// What every collectable shares: property-name matching, identities,
// staleness, counting, faces, property information and listing.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "UtilC_SharedNcdBlockColl.h"
#include "UtilC_SharedNcdColl.h"
#include "UtilC_SharedNcdDataI.h"
#include "Xdm_ViewEditor.h"

using namespace ncdtest;
using UtilC::SharedNcd::ComparePropertyNames;

namespace {

int Sign(int v) {
  return (v > 0) - (v < 0);
}

TEST(ComparePropertyNames, CaseAndSeparatorRules) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"Full Name", "full name", 0},
      {"Full Name", "FULL_NAME", 0},
      {"Full Name", "full--name", 0},
      {"Full Name", "Full Name ", 0},
      {"Full Name", "Full  Name", 0},
      {"Full Name", " Full Name", 1},
      {"Full Name", "FullName", -1},
      {"", "   ", 0},
      {"", "-", 0},
      {"a", "", 1},
      {"a1", "a_b", -1},
      {"a_b", "ab", -1},
      {"a_", "a", 0},
      {"Icon Name", "icon-name", 0},
      {"IO Standard", "io_standard", 0},
      {"x\xc3\xa9y", "x__y", 0},
      {"Max Delay", "MAX_DELAY", 0},
      {"Nets", "Net", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(ComparePropertyNames(c.a, c.b)), c.sign)
        << '"' << c.a << "\" vs \"" << c.b << '"';
    EXPECT_EQ(Sign(ComparePropertyNames(c.b, c.a)), -c.sign)
        << '"' << c.b << "\" vs \"" << c.a << '"';
  }
}

class CollFramework : public CollTest {};

TEST_F(CollFramework, PropertyNamesMatchWhateverTheCaseAndSeparators) {
  OpenDesign design(Demo());
  CollPtr block = design.Coll("u_cnt/c0");
  for (const char* name : {"Full Name", "full name", "FULL_NAME", "full--name", "Full Name "})
    EXPECT_EQ(Text(block, name), "u_cnt/c0") << name;
  for (const char* name : {" Full Name", "FullName", "Fullname", ""})
    EXPECT_FALSE(Get(block, name).found) << name;
}

TEST_F(CollFramework, IdsNameTypeItemAndDesignInstance) {
  OpenDesign first(Demo());
  OpenDesign second(Demo());  // same file, another owner: another design
  CollPtr a = first.Coll("u_cnt/c0");
  CollPtr b = first.Coll("u_cnt/c0");
  CollPtr c = second.Coll("u_cnt/c0");
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(a->GetId().str(), b->GetId().str());
  EXPECT_NE(a->GetId().str(), c->GetId().str());
  EXPECT_NE(a->GetId().str(), first.Coll("u_cnt/c1")->GetId().str());
  // The text is the portability layer's formatting of type, bridge id, the
  // key's owner and the address of its file name.
  for (OpenDesign* design : {&first, &second}) {
    const UtilC::SharedNcd::Key& key = (*design)->GetKey();
    Pds_PdmBlock* block = design->Block("u_cnt/c0");
    EXPECT_EQ(design->Coll("u_cnt/c0")->GetId().str(),
              Port::StringBase::doFormat("%s%U%p%p", "ncd_block", Xdm_BridgeId::GetBridgeId(block),
                                         static_cast<const void*>(key.m_owner),
                                         static_cast<const void*>(key.m_fileName.c_str()))
                  .str());
  }
  OpenDesign unowned(Demo(), {});
  EXPECT_NE(unowned.Coll("")->GetId().str().find("(nil)"), std::string::npos);
}

TEST_F(CollFramework, ClosingTheDesignMakesCollectablesStale) {
  OpenDesign design(Demo());
  CollPtr block = design.Coll("u_cnt/c0");
  Xdm_Block* c1 = design.Block("u_cnt/c1");  // the closed design stays cached: its blocks stay
  const std::string liveId = block->GetId().str();
  EXPECT_EQ(block->IsStale(), 0u);
  design.Close();
  EXPECT_EQ(block->IsStale(), 1u);
  EXPECT_EQ(NameOf(block), "<stale>");
  EXPECT_FALSE(Get(block, "Name").found);
  EXPECT_EQ(TypeName(block), "ncd_block");
  EXPECT_EQ(block->GetId().str(), liveId);  // kept as built
  EXPECT_EQ(PropertyNames(block).size(), 13u);
  // A newly built id names the collectable itself.
  auto* data = static_cast<UtilC::SharedNcd::IBlockData*>(
      block->QueryInterface(UtilC::SharedNcd::IID_IBlockData));
  EXPECT_EQ(data->GetBlock(), nullptr);
  data->SetBlock(c1);
  char expected[64];
  std::snprintf(expected, sizeof expected, "ncd_block%p",
                static_cast<void*>(
                    static_cast<UtilC::SharedNcd::Coll*>(static_cast<UtilC::SharedNcd::BlockColl*>(
                        static_cast<UtilI::ITclCollectable*>(block.get())))));
  EXPECT_EQ(block->GetId().str(), expected);
}

TEST_F(CollFramework, RemovedOrReplacedItemsMakeCollectablesStale) {
  OpenDesign design(Demo());
  CollPtr removed = design.Coll("u_cnt/c1");
  CollPtr replaced = design.Coll("hm0/c1");
  CollPtr kept = design.Coll("hm0/c0");
  Xdm_ViewEditor editor(*design->GetView());
  editor.RemoveBlock(design.Block("u_cnt/c1"));
  Xdm_Block* replacement = editor.ReplaceBlock(design.Block("hm0/c1"));
  EXPECT_EQ(removed->IsStale(), 1u);
  EXPECT_EQ(replaced->IsStale(), 1u);
  EXPECT_FALSE(Get(replaced, "Name").found);
  EXPECT_EQ(kept->IsStale(), 0u);
  EXPECT_EQ(NameOf(design->MakeCollectable(static_cast<Pds_PdmBlock*>(replacement))), "c1");
}

TEST_F(CollFramework, NullItemsAndRetargeting) {
  OpenDesign design(Demo());
  CollPtr empty = design->MakeCollectable(static_cast<const Pds_PdmBlock*>(nullptr));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->IsStale(), 1u);
  EXPECT_EQ(design->GetBlockOf(empty), nullptr);
  auto* data = static_cast<UtilC::SharedNcd::IBlockData*>(
      empty->QueryInterface(UtilC::SharedNcd::IID_IBlockData));
  data->SetBlock(design.Block("u_cnt/c0"));
  EXPECT_EQ(empty->IsStale(), 0u);
  EXPECT_EQ(empty->GetId().str(), design.Coll("u_cnt/c0")->GetId().str());
  EXPECT_EQ(design->GetBlockOf(empty), design.Block("u_cnt/c0"));
  // Another design leaving client hands changes nothing the id is made of.
  OpenDesign(std::string(NCD_TEST_DATA) + "/blocks.ncd.json").Close();
  data->SetBlock(design.Block("u_cnt/c1"));
  EXPECT_EQ(empty->GetId().str(), design.Coll("u_cnt/c1")->GetId().str());
  data->SetBlock(nullptr);
  EXPECT_EQ(empty->GetId().str(), "");
  EXPECT_EQ(empty->IsStale(), 1u);
}

TEST_F(CollFramework, CountingAndFaces) {
  OpenDesign design(Demo());
  CollPtr block = design.Coll("u_cnt/c0");
  auto* counted = static_cast<CommonI::IRefCount*>(block->QueryInterface(CommonI::IID_IRefCount));
  ASSERT_NE(counted, nullptr);
  EXPECT_EQ(block->QueryInterface(CitI::IID_IInterface), counted);
  EXPECT_EQ(block->QueryInterface(UtilI::IID_ITclCollectable), block.get());
  EXPECT_NE(block->QueryInterface(UtilC::SharedNcd::IID_IBlockData), nullptr);
  EXPECT_EQ(block->QueryInterface(UtilC::SharedNcd::IID_INetData), nullptr);
  EXPECT_EQ(RefCount(block.get()), 1);
  counted->AddRef();
  EXPECT_EQ(RefCount(block.get()), 2);
  counted->Release();
  EXPECT_EQ(RefCount(block.get()), 1);
  EXPECT_EQ(UtilC::SharedNcd::Coll::LiveCount(), 1);
  block.Reset();
  EXPECT_EQ(UtilC::SharedNcd::Coll::LiveCount(), 0);
  EXPECT_EQ(block.get(), nullptr);
}

TEST_F(CollFramework, PropertyInformationIsOneObjectPerProperty) {
  OpenDesign design(Demo());
  CollPtr block = design.Coll("u_cnt/c0");
  UtilI::IPropertyInfo* unknown = reinterpret_cast<UtilI::IPropertyInfo*>(0x1);
  EXPECT_EQ(block->GetPropertyInfo("Nope", &unknown), 0u);
  EXPECT_EQ(unknown, reinterpret_cast<UtilI::IPropertyInfo*>(0x1));  // untouched

  UtilI::IPropertyInfo* first = nullptr;
  ASSERT_EQ(block->GetPropertyInfo("full_name", &first), 1u);
  UtilI::IPropertyInfo* again = first;
  CommonI::RefCountOf(again)->AddRef();
  ASSERT_EQ(block->GetPropertyInfo("Full Name", &again), 1u);  // releases what it held
  EXPECT_EQ(again, first);
  Port::StringBase text;
  first->GetName(text);
  EXPECT_EQ(text.str(), "Full Name");
  first->GetDescription(text);
  EXPECT_EQ(text.str(), "This property specifies the full hierarchy name of the block.\n");
  EXPECT_EQ(first->GetKind(), 4u);
  EXPECT_EQ(first->IsReadOnly(), 1u);
  CommonI::RefCountPtr<UtilI::IStringContainer> none;
  EXPECT_EQ(first->GetRanges(none), 0u);
  CommonI::RefCountOf(first)->Release();
  CommonI::RefCountOf(again)->Release();
}

TEST_F(CollFramework, MissingOutputsAnswerFalse) {
  OpenDesign design(Demo());
  CollPtr block = design.Coll("u_cnt/c0");
  EXPECT_EQ(block->GetPropertyValue("Name", nullptr), 0u);
  EXPECT_EQ(block->GetPropertyInfo("Name", nullptr), 0u);
  EXPECT_EQ(block->GetPropertyNames(nullptr), 0u);
  EXPECT_EQ(block->ReservedPredicate(), 0u);
  EXPECT_EQ(block->ReservedQuery(), nullptr);
}

TEST_F(CollFramework, AValueOutputIsReplacedAndReleased) {
  OpenDesign design(Demo());
  CollPtr block = design.Coll("u_cnt/c0");
  UtilI::IPropertyValue* value = nullptr;
  ASSERT_EQ(block->GetPropertyValue("Name", &value), 1u);
  UtilI::IPropertyValue* previous = value;
  ASSERT_EQ(block->GetPropertyValue("Color", &value), 1u);
  EXPECT_NE(value, previous);
  EXPECT_EQ(LiveHelpers(UtilI::kHelperValues), 1u);  // the first was released
  CommonI::RefCountOf(value)->Release();
}

// The design object's by-object property access.
TEST_F(CollFramework, PropertyValuesByObject) {
  OpenDesign design(Demo());
  ValuePtr name = design->GetBlockPropertyValue(design.Block("u_cnt/c0"), "Name");
  EXPECT_EQ(Read(name).text, "c0");
  EXPECT_FALSE(design->GetBlockPropertyValue(nullptr, "Name"));
  EXPECT_FALSE(design->GetBlockPropertyValue(design.Block("u_cnt/c0"), "No Such"));
  EXPECT_FALSE(design->GetBlockPropertyValue(design.Block("ip_secure/core"), "Name"));  // hidden
  // A getter that finds nothing gives no value either.
  EXPECT_FALSE(design->GetBlockPropertyValue(design.Block("u_cnt/c0/AFF"), "Equation"));
}

}  // namespace
