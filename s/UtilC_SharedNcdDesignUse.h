// UtilC::SharedNcd::DesignUse: keeps a design object's memory from being
// freed while a collectable or a search of this thread works on it.
//
// Collectables hold plain pointers to their designs and ask the manager
// whether a design is still in client hands before each use; a design that
// leaves client hands, and is then freed by another thread, must not go
// while a use that found it alive runs. A use is announced first
// (DesignUse), then checked (Coll::IsDesignAlive); the design's destructor
// waits (AwaitUnused) until no other thread announces it. Announcements
// are per-thread slots: no lock, no shared cache line between readers.
//
// Uses nest; a thread announces a design once however deep it nests. The
// destructor must not run under a lock that a use may wait for (designs
// are freed outside every manager and collectable lock).
#pragma once

namespace UtilC::SharedNcd {

class SharedNcd;

class DesignUse {
 public:
  // The design this thread announced last answers at once: a search
  // announces its design for the walk, and the probe's operations nest.
  explicit DesignUse(const SharedNcd* design)
      : m_announced(design != nullptr && design != t_innermost && Announce(design)) {}
  ~DesignUse() {
    if (m_announced) Withdraw();
  }
  DesignUse(const DesignUse&) = delete;
  DesignUse& operator=(const DesignUse&) = delete;

  // Returns once no other thread announces `design`.
  static void AwaitUnused(const SharedNcd* design);

 private:
  static bool Announce(const SharedNcd* design);  // false: announced already, or no slot
  static void Withdraw();

  // Initial-exec, as the other thread-locals read on every collectable
  // operation: read without a call into the dynamic linker, from a few
  // bytes of the static TLS that the C library keeps for loaded libraries.
  [[gnu::tls_model("initial-exec")]] static constinit thread_local const SharedNcd* t_innermost;
  const bool m_announced;
};

}  // namespace UtilC::SharedNcd
