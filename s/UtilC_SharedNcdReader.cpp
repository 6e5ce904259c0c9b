#include "UtilC_SharedNcdReader.h"

#include <memory>
#include <new>

#include "Pds_Exception.h"
#include "Pds_PahDesignLoader.h"
#include "Port_File.h"
#include "Port_Thr.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdMsg.h"
#include "XCad_CadException.h"
#include "Xdm_Exception.h"

namespace UtilC::SharedNcd {

namespace {
constexpr const char* kSource = "UtilC_SharedNcdReader";
}

Reader::Reader(SharedNcd* design)
    : ThreadReaderT(design, design ? design->Manager() : nullptr), m_ncd(design) {}

bool Reader::Read() {
  if (!m_ncd) return false;
  Xdm_View* view = nullptr;
  try {
    Port::StringBase fileName = static_cast<UtilI::ISharedNcd*>(m_ncd)->GetFileName();
    bool writable = Port::File::canwrite(fileName);
    auto type = writable ? Xdm_Txn::XDM_TXN_READ_WRITE : Xdm_Txn::XDM_TXN_READ_ONLY;
    auto instantiator = std::make_unique<Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<>>();
    view = m_ncd->GetLoader()->LoadAndSpecializeImpl(fileName, "SharedNcdReader", type,
                                                     instantiator.get(), nullptr);
  } catch (...) {
    if (Port_ThrThread::cancelRequested())
      Stopped();
    else
      ReportFailure();
  }
  if (!view) return false;
  m_ncd->SetView(view);
  return true;
}

// Inside the loader's catch: reports the exception being handled. A report
// that itself runs out of memory is reported as that.
void Reader::ReportFailure() noexcept {
  try {
    try {
      throw;
    } catch (const XCad_CadException& e) {
      e.report();
    } catch (const Pds_Exception& e) {
      e.report();
    } catch (const Xdm_Exception::Base& e) {
      e.report();
    } catch (const std::bad_alloc&) {
      Msg::ReportOutOfMemory(kSource, __LINE__);
    } catch (...) {
      Msg::ReportUnhandledException(kSource, __LINE__);
    }
  } catch (...) {
    Msg::ReportOutOfMemory(kSource, __LINE__);
  }
}

}  // namespace UtilC::SharedNcd
