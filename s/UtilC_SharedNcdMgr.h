// UtilC::SharedNcd::Mgr: the process-wide manager of shared designs.
//
// One manager exists per process. It is created on first use by Instance()
// (from the factory's CreateInstance, on a client thread) and is never
// destroyed by the component; it is not reference counted and callers never
// release it. Its constructor files it in the framework's instance table
// unless another object already stands there for its class; its destructor
// (for a framework that deletes it) takes it out only if the table still
// points at it.
#pragma once

#include "CitI_IInterface.h"

namespace UtilC::SharedNcd {

class Mgr : public CitI::IInterface {
public:
  // The process-wide manager, created on first use. The first call is
  // expected from one thread (the framework's first CreateInstance).
  static Mgr* Instance();

  Mgr();
  ~Mgr() override;
  Mgr(const Mgr&) = delete;
  Mgr& operator=(const Mgr&) = delete;

  void* QueryInterface(const Port::XUID& iid) override;

private:
  static Mgr* s_instance;
};

}  // namespace UtilC::SharedNcd
