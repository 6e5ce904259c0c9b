#include "UtilC_SharedNcdReader.h"

#include <memory>

#include "Pds_Exception.h"
#include "Pds_PahDesignLoader.h"
#include "Port_File.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdMsg.h"
#include "XCad_CadException.h"
#include "Xdm_Exception.h"

namespace UtilC::SharedNcd {

namespace {
constexpr const char* kSource = "UtilC_SharedNcdReader";
}

bool Reader::Read() {
  if (!m_ncd) return false;
  Port::StringBase fileName = static_cast<UtilI::ISharedNcd*>(m_ncd)->GetFileName();
  bool writable = Port::File::canwrite(fileName);
  auto type = writable ? Xdm_Txn::XDM_TXN_READ_WRITE : Xdm_Txn::XDM_TXN_READ_ONLY;
  Xdm_View* view = nullptr;
  try {
    auto instantiator = std::make_unique<Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<>>();
    view = m_ncd->GetLoader()->LoadAndSpecializeImpl(fileName, "SharedNcdReader", type, instantiator.get(),
                                                     nullptr);
  } catch (const XCad_CadException& e) {
    e.report();
  } catch (const Pds_Exception& e) {
    e.report();
  } catch (const Xdm_Exception::Base& e) {
    e.report();
  } catch (...) {
    Msg::ReportUnhandledException(kSource, __LINE__);
  }
  if (!view) return false;
  m_ncd->SetView(view);
  return true;
}

}  // namespace UtilC::SharedNcd
