// Compact JSON output for the generator and the importer: a buffered sink
// over a stream, and a writer that places commas itself. Every key and
// string it writes is escaped where JSON needs it, so that no text, from
// the generator or from an imported netlist, can end a string or add keys.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <string_view>

namespace NcdGen {

class Sink {
 public:
  explicit Sink(std::ostream& out) : m_stream(out) { m_buf.reserve(kChunk + 4096); }

  void Put(std::string_view text) {
    m_buf.append(text);
    if (m_buf.size() >= kChunk) Flush();
  }
  void Put(char c) { m_buf.push_back(c); }
  void PutU(uint64_t value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    m_buf.append(digits, end);
  }

  // Hands the buffer to the stream. Throws std::runtime_error when it
  // refuses the bytes.
  void Flush();
  uint64_t Bytes() const { return m_flushed + m_buf.size(); }

 private:
  static constexpr std::size_t kChunk = 1 << 20;
  std::ostream& m_stream;
  std::string m_buf;
  uint64_t m_flushed = 0;
};

// Writes values in order; a comma goes before every value or key that
// follows another one at the same level. Newline() asks for a line break
// before the next value, used to put one net, cell or block on each line.
class Json {
 public:
  explicit Json(Sink& sink) : m_sink(sink) {}

  void BeginObject() {
    Before();
    m_sink.Put('{');
    m_comma = false;
  }
  void EndObject() {
    m_sink.Put('}');
    m_comma = true;
  }
  void BeginArray() {
    Before();
    m_sink.Put('[');
    m_comma = false;
  }
  void EndArray() {
    m_sink.Put(']');
    m_comma = true;
  }
  void Newline() { m_newline = true; }

  void Key(std::string_view key) {
    Before();
    PutEscaped(key);
    m_sink.Put(':');
    m_comma = false;
  }
  // A string value: text, followed by a number when number is given.
  void String(std::string_view text, uint64_t number = kNoNumber) {
    Before();
    PutEscaped(text, number);
    m_comma = true;
  }
  void Text(std::string_view text) { String(text); }
  void Uint(uint64_t value) {
    Before();
    m_sink.PutU(value);
    m_comma = true;
  }
  void Bool(bool value) {
    Before();
    m_sink.Put(value ? "true" : "false");
    m_comma = true;
  }
  // A value already in JSON form.
  void Raw(std::string_view json) {
    Before();
    m_sink.Put(json);
    m_comma = true;
  }

  void Str(std::string_view key, std::string_view text, uint64_t number = kNoNumber) {
    Key(key);
    String(text, number);
  }
  void Txt(std::string_view key, std::string_view text) {
    Key(key);
    Text(text);
  }
  void Int(std::string_view key, uint64_t value) {
    Key(key);
    Uint(value);
  }
  void Flag(std::string_view key, bool value) {
    Key(key);
    Bool(value);
  }
  void True(std::string_view key) { Flag(key, true); }

  static constexpr uint64_t kNoNumber = ~uint64_t{0};

 private:
  void Before() {
    if (m_comma) m_sink.Put(',');
    if (m_newline) m_sink.Put('\n');
    m_newline = false;
  }

  // Quotes, backslashes and control characters escaped; a number after the
  // text when one is given.
  void PutEscaped(std::string_view text, uint64_t number = kNoNumber);

  Sink& m_sink;
  bool m_comma = false;
  bool m_newline = false;
};

}  // namespace NcdGen
