// Xdm_Txn: the transaction a loader opens on the design it loaded. The
// transaction owns the model (and so the view); Abort() ends it and frees
// both. The loader (Pds_PahDesignLoader) owns the transaction: it frees it
// with itself, and GetTxn() answers null once it was aborted.
//
// Not for concurrent use: one thread ends a transaction.
#pragma once

#include <memory>

class Pds_PahDesignLoader;
class XCad_CadModel;
class Xdm_View;

class Xdm_Txn {
 public:
  enum XDM_TXN_TYPE { XDM_TXN_READ_WRITE = 0, XDM_TXN_READ_ONLY = 1 };

  ~Xdm_Txn();
  Xdm_Txn(const Xdm_Txn&) = delete;
  Xdm_Txn& operator=(const Xdm_Txn&) = delete;

  XDM_TXN_TYPE GetType() const { return m_type; }
  Xdm_View* GetView() const;
  XCad_CadModel* GetModel() const { return m_model.get(); }

  // Frees the model and its view, then this transaction: every pointer into
  // the design, and to this transaction, is invalid afterwards.
  void Abort();

 private:
  friend class Pds_PahDesignLoader;
  Xdm_Txn(XDM_TXN_TYPE type, Pds_PahDesignLoader* owner, std::unique_ptr<XCad_CadModel> model);
  XDM_TXN_TYPE m_type;
  Pds_PahDesignLoader* m_owner;
  std::unique_ptr<XCad_CadModel> m_model;
};
