#include "UtilC_SearchAlg.h"

namespace UtilC {

ProbeHold::~ProbeHold() {
  Drop();
}

void ProbeHold::Move(UtilI::ITclCollectable* probe) {
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

void SearchCall::Append(const CommonI::RefCountPtr<UtilI::ITclCollectable>& match) const {
  if (match && results) results->Append(match.get());
}

}  // namespace UtilC
