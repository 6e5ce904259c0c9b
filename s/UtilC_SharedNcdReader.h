// UtilC::SharedNcd::Reader: reads one design file into its design object,
// on the design's reader thread (UtilI::ThreadT<Reader>).
//
// A read-only file is read in a read-only transaction (type 1), a writable
// one in a read-write transaction (type 0). The loader's failures never
// leave the reader: the design library's exceptions report themselves,
// anything else is reported as an unhandled exception; the read then counts
// as failed. The manager's load record owns the reader.
#pragma once

#include "UtilI_ThreadHelper.h"

namespace UtilC::SharedNcd {

class SharedNcd;
class Mgr;

class Reader : public UtilI::ThreadReaderT<Reader, SharedNcd, Mgr> {
public:
  Reader() = default;
  explicit Reader(SharedNcd* design) : ThreadReaderT(design), m_ncd(design) {}

  bool Read() override;

private:
  SharedNcd* m_ncd = nullptr;
};

}  // namespace UtilC::SharedNcd
