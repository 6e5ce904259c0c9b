// UtilC::SharedNcd::Reader: reads one design file into its design object,
// on the design's reader thread (UtilI::ThreadT<Reader>).
//
// A read-only file is read in a read-only transaction (type 1), a writable
// one in a read-write transaction (type 0). The loader's failures never
// leave the reader: the design library's exceptions report themselves, a
// lack of memory is reported as such, anything else as an unhandled
// exception; the read then counts as failed. A read that fails after its
// thread was asked to stop was stopped by the cancellation: it reports
// nothing and is not announced. The manager's load record owns the reader;
// the reader tells the design's manager's listeners.
#pragma once

#include "UtilI_ThreadHelper.h"

namespace UtilC::SharedNcd {

class SharedNcd;
class Mgr;

class Reader : public UtilI::ThreadReaderT<Reader, SharedNcd, Mgr> {
public:
  Reader() = default;
  explicit Reader(SharedNcd* design);

  bool Read() override;

private:
  void ReportFailure() noexcept;

  SharedNcd* m_ncd = nullptr;
};

}  // namespace UtilC::SharedNcd
