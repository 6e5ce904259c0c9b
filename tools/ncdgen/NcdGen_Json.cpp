#include "NcdGen_Json.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>

namespace NcdGen {

void Sink::Flush() {
  if (m_buf.empty()) return;
  if (m_stream) {
    m_stream->write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
    if (!*m_stream) throw std::runtime_error("cannot write the design: the output stream failed");
  } else if (std::fwrite(m_buf.data(), 1, m_buf.size(), m_file) != m_buf.size()) {
    throw std::runtime_error(std::string("cannot write the design: ") + std::strerror(errno));
  }
  m_flushed += m_buf.size();
  m_buf.clear();
}

}  // namespace NcdGen
