// Coll::IsDesignAlive, inline for the files that ask it.
#pragma once

#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdColl.h"
#include "UtilC_SharedNcdMgr.h"

namespace UtilC::SharedNcd {

// The last design this thread found alive is still alive while no design
// has left client hands since: answered without a lock. A design in client
// hands cannot be freed, so its serial may be read once it is found there.
inline bool Coll::IsDesignAlive() const {
  const LastAlive& last = t_lastAlive;
  if (design && design == last.design && Mgr::LiveGeneration() == last.generation)
    return design->Serial() == m_designSerial;
  return AskAlive(design, m_designSerial);
}

}  // namespace UtilC::SharedNcd
