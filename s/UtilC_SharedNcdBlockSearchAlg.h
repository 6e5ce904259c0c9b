// UtilC::SharedNcd::BlockSearchAlg: the "ncd_block" search of one design.
// Walks the block hierarchy depth first, each block before its children,
// from the top block; a block the request abandons (answer 0) is not
// appended and its subtree is skipped, and a stop request leaves the rest
// of the walk unvisited. Children hidden from clients are neither
// presented nor descended into.
#pragma once

#include "UtilC_SearchAlg.h"

class Xdm_Block;

namespace UtilC::SharedNcd {

class SharedNcd;

class BlockSearchAlg : public SearchAlg {
 public:
  BlockSearchAlg(const Port::StringBase& name, SharedNcd* design);

  CitI::Result Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                      const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                      const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                      UtilI::IObjectList* results, void* passThrough) override;

 private:
  CitI::Result Visit(const SearchCall& call, Xdm_Block* block,
                     CommonI::RefCountPtr<UtilI::ITclCollectable>& probe);

  SharedNcd* m_design;
};

}  // namespace UtilC::SharedNcd
