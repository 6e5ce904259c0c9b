// The search algorithms of a shared design, one per searchable type; the
// design's search source owns them (UtilC_SrchSrcImpT.h). Each walks its
// objects with one probe collectable and presents each to the request.
// They differ in what the request's answer 0 ("abandon") does:
//   BlockSearchAlg  "ncd_block": depth first from the top block, each
//                   block before its children; 0 skips that block's
//                   subtree (its siblings are still visited); hidden
//                   children are neither presented nor descended into.
//   NetSearchAlg    "ncd_net": every network of the view in list order;
//                   0 changes nothing, and hidden networks are matched too
//                   (a match is delivered as a collectable wrapping none).
//   RpmSearchAlg    "ncd_rpm": every shape in the shape manager's order;
//                   0 ends the search (returned at once).
// A stop request asked before the walk (every search) or before each
// block (the block search) leaves the rest unvisited. A search announces
// its design for the whole walk (DesignUse), so that the probe's many
// operations find it announced: a design freed meanwhile on another
// thread waits for the walk, not for each operation.
#pragma once

#include "UtilC_SearchAlg.h"

class Xdm_Block;

namespace UtilC::SharedNcd {

class SharedNcd;

// The parts every design search shares.
class DesignSearchAlg : public SearchAlg {
 public:
  DesignSearchAlg(const Port::StringBase& name, SharedNcd* design)
      : SearchAlg(name), m_design(design) {}

 protected:
  SharedNcd* const m_design;
};

class BlockSearchAlg : public DesignSearchAlg {
 public:
  BlockSearchAlg(const Port::StringBase& name, SharedNcd* design);
  CitI::Result Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                      const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                      const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                      UtilI::IObjectList* results, void* passThrough) override;

 private:
  CitI::Result Visit(const SearchCall& call, Xdm_Block* block,
                     CommonI::RefCountPtr<UtilI::ITclCollectable>& probe);
};

class NetSearchAlg : public DesignSearchAlg {
 public:
  NetSearchAlg(const Port::StringBase& name, SharedNcd* design);
  CitI::Result Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                      const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                      const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                      UtilI::IObjectList* results, void* passThrough) override;
};

class RpmSearchAlg : public DesignSearchAlg {
 public:
  RpmSearchAlg(const Port::StringBase& name, SharedNcd* design);
  CitI::Result Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                      const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                      const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                      UtilI::IObjectList* results, void* passThrough) override;
};

}  // namespace UtilC::SharedNcd
