#include "UtilC_SearchAlg.h"

namespace UtilC {

CitI::Result SearchCall::Present(UtilI::ITclCollectable* probe, UtilI::IStringContainer* strings,
                                 bool& matched) const {
  matched = false;
  // The probe is held for the call, so that it cannot go while the request
  // looks at it; the strings are the search class's own, held for the life
  // of the process.
  CommonI::RefCountPtr<UtilI::ITclCollectable> heldProbe(probe);
  if (pattern) return request->MatchPattern(probe, pattern, strings, matched, passThrough);
  return request->MatchText(probe, text, strings, flag1, flag2, flag3, matched, passThrough);
}

void SearchCall::Append(const CommonI::RefCountPtr<UtilI::ITclCollectable>& match) const {
  if (match && results) results->Append(match.get());
}

}  // namespace UtilC
