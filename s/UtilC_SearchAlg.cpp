#include "UtilC_SearchAlg.h"

namespace UtilC {

ProbeHold::~ProbeHold() {
  Drop();
}

void ProbeHold::Hold(UtilI::ITclCollectable* probe) {
  if (probe == m_probe) return;
  CommonI::IRefCount* count = CommonI::RefCountOf(probe);
  if (count) count->AddRef();
  Drop();
  m_probe = probe;
  m_count = count;
}

void ProbeHold::Drop() {
  if (m_count) m_count->Release();
  m_probe = nullptr;
  m_count = nullptr;
}

CitI::Result SearchCall::Present(UtilI::ITclCollectable* probe, bool& matched) const {
  matched = false;
  // The strings are the search class's own, held for the life of the
  // process.
  probeHold.Hold(probe);
  if (pattern) return request->MatchPattern(probe, pattern, strings, matched, passThrough);
  return request->MatchText(probe, text, strings, flag1, flag2, flag3, matched, passThrough);
}

void SearchCall::Append(const CommonI::RefCountPtr<UtilI::ITclCollectable>& match) const {
  if (match && results) results->Append(match.get());
}

}  // namespace UtilC
