#include "NcdGen_Json.h"

#include <ostream>
#include <stdexcept>

namespace NcdGen {

void Sink::Flush() {
  if (m_buf.empty()) return;
  m_stream.write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
  if (!m_stream) throw std::runtime_error("cannot write the design: the output stream failed");
  m_flushed += m_buf.size();
  m_buf.clear();
}

// Other bytes, UTF-8 sequences included, are copied as they are.
void Json::PutEscaped(std::string_view text, uint64_t number) {
  static constexpr char kHex[] = "0123456789abcdef";
  m_sink.Put('"');
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    m_sink.Put(text.substr(plain, i - plain));
    plain = i + 1;
    if (c == '"' || c == '\\') {
      m_sink.Put('\\');
      m_sink.Put(static_cast<char>(c));
    } else {
      m_sink.Put("\\u00");
      m_sink.Put(kHex[c >> 4]);
      m_sink.Put(kHex[c & 15]);
    }
  }
  m_sink.Put(text.substr(plain));
  if (number != kNoNumber) m_sink.PutU(number);
  m_sink.Put('"');
}

}  // namespace NcdGen
