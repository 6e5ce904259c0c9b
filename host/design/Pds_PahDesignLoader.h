// Pds_PahDesignLoader: loads a design file (docs/design-format.md) into a
// new model.
//
// LoadAndSpecializeImpl reads and checks the whole file first; only then
// does it ask the instantiator for the model, with the file's part name, and
// fill the model's view. It then opens a transaction (Xdm_Txn) that owns
// the model, and answers the view. The loader owns that transaction:
// Xdm_Txn::Abort() frees the model early, the loader's destructor frees it
// otherwise. A loader loads once; a second call throws Pds_Exception.
//
// Errors throw Pds_Exception ("<file>:<line>:<column>: <cause>", or
// "<file>: cannot open design file: <reason>") or whatever the instantiator
// throws; nothing of the load is left allocated and the loader has no
// transaction. A loading thread that is asked to cancel
// (Port_ThrThread::cancel) stops reading within one buffer fill or a few
// thousand objects and throws Pds_Exception "<file>: reading cancelled".
// The file's "faults" object adds test hooks (a delay, which a cancel ends
// with that exception, then a chosen exception).
// While it runs, a load files its progress under its file name
// (Pds_PahLoadProgress.h).
// A successful load records the design's device in the process-wide device
// catalogue (Rf_DeviceCatalogue.h).
//
// One loader is used by one thread; distinct loaders may load at once.
#pragma once

#include <cstdint>
#include <memory>

#include "Port_StringBase.h"
#include "XCad_CadModel.h"
#include "Xdm_Txn.h"

class Xdm_View;

class Pds_PahDesignLoader {
 public:
  class Instantiator {
   public:
    virtual ~Instantiator();
    // A new model; the loader takes ownership. Null is an error.
    virtual XCad_CadModel* Instantiate(const char* fileName, const char* appName,
                                       const char* partName) = 0;
  };

  Pds_PahDesignLoader();
  virtual ~Pds_PahDesignLoader();
  Pds_PahDesignLoader(const Pds_PahDesignLoader&) = delete;
  Pds_PahDesignLoader& operator=(const Pds_PahDesignLoader&) = delete;

  // `options` is accepted for the caller's convenience and not used.
  Xdm_View* LoadAndSpecializeImpl(const Port::StringBase& fileName, const Port::StringBase& appName,
                                  Xdm_Txn::XDM_TXN_TYPE type, Instantiator* instantiator,
                                  const char* options);
  // Null before a successful load and after Abort().
  Xdm_Txn* GetTxn() const { return m_txn.get(); }

  // Successful loads in this process, by any loader.
  static std::uint64_t LoadCount();

 private:
  friend class Xdm_Txn;
  void EndTxn();
  std::unique_ptr<Xdm_Txn> m_txn;
  bool m_used = false;
};

template <class Traits>
class Pds_PahDesignLoaderT : public Pds_PahDesignLoader {
 public:
  // Makes models of type T (Traits::Model or a class derived from it).
  template <class T = typename Traits::Model>
  class InstantiatorT : public Instantiator {
   public:
    XCad_CadModel* Instantiate(const char* fileName, const char* appName,
                               const char* partName) override {
      return new T(fileName, appName, partName);
    }
  };
};
