#include "Pds_PahJsonReader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "Pds_Exception.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr unsigned kScalarFlags = rapidjson::kParseStopWhenDoneFlag;

bool IsSpace(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}
bool StartsNumber(char c) {
  return c == '-' || (c >= '0' && c <= '9');
}

// RapidJSON's English text, in the style of our other causes.
std::string SyntaxText(rapidjson::ParseErrorCode code) {
  std::string text = rapidjson::GetParseError_En(code);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] + 32);
  return text;
}

}  // namespace

struct Pds_PahJsonReader::Stream {
  explicit Stream(std::FILE* file) : buffer(kBufferSize), in(file, buffer.data(), buffer.size()) {}
  std::vector<char> buffer;
  rapidjson::FileReadStream in;
  rapidjson::Reader reader;
};

// Records the one scalar RapidJSON reports.
struct Pds_PahJsonReader::Handler
    : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Pds_PahJsonReader::Handler> {
  enum Kind { kNull, kBool, kInt, kHugeInt, kDouble, kString };
  bool Null() { return Set(kNull); }
  bool Bool(bool v) {
    boolean = v;
    return Set(kBool);
  }
  bool Int(int v) { return SetInt(v); }
  bool Uint(unsigned v) { return SetInt(v); }
  bool Int64(std::int64_t v) { return SetInt(v); }
  bool Uint64(std::uint64_t v) {
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return Set(kHugeInt);
    }
    return SetInt(static_cast<std::int64_t>(v));
  }
  bool Double(double) { return Set(kDouble); }
  bool String(const char* s, rapidjson::SizeType n, bool) {
    text->assign(s, n);
    return Set(kString);
  }
  bool Set(Kind k) {
    kind = k;
    return true;
  }
  bool SetInt(std::int64_t v) {
    integer = v;
    return Set(kInt);
  }

  Kind kind = kNull;
  bool boolean = false;
  std::int64_t integer = 0;
  std::string* text = nullptr;
};

Pds_PahJsonReader::Pds_PahJsonReader(std::string fileName) : m_fileName(std::move(fileName)) {
  m_file = std::fopen(m_fileName.c_str(), "rb");
  int error = m_file ? 0 : errno;
  std::error_code status;
  if (error == 0 && std::filesystem::is_directory(m_fileName, status)) error = EISDIR;
  if (error == 0) m_size = std::filesystem::file_size(m_fileName, status);
  if (error == 0 && status) error = status.value();
  if (error != 0) {
    if (m_file) std::fclose(m_file);
    throw Pds_Exception("Pds_PahJsonReader", __LINE__,
                        Port::StringBase::doFormat("%s: cannot open design file: %s",
                                                   m_fileName.c_str(), std::strerror(error)));
  }
  m_stream = std::make_unique<Stream>(m_file);
  m_handler = std::make_unique<Handler>();
}

Pds_PahJsonReader::~Pds_PahJsonReader() {
  m_stream.reset();
  if (m_file) std::fclose(m_file);
}

std::uint64_t Pds_PahJsonReader::Tell() const {
  return m_stream->in.Tell();
}

char Pds_PahJsonReader::SkipSpace() {
  auto& in = m_stream->in;
  while (IsSpace(in.Peek()))
    in.Take();
  const char c = in.Peek();
  if (c == '\0') {
    const std::uint64_t at = in.Tell();
    if (at >= m_size) Fail(at, "unexpected end of file");
    Fail(at, "unexpected NUL byte");
  }
  return c;
}

void Pds_PahJsonReader::StartValue(const char* label, bool ok, const char* type) {
  m_valueOffset = m_stream->in.Tell();
  if (!ok) FailType(label, type);
}

std::uint64_t Pds_PahJsonReader::BeginObject(const char* label) {
  StartValue(label, SkipSpace() == '{', "an object");
  m_stream->in.Take();
  m_first.push_back(true);
  return m_valueOffset;
}

std::uint64_t Pds_PahJsonReader::BeginArray(const char* label) {
  StartValue(label, SkipSpace() == '[', "an array");
  m_stream->in.Take();
  m_first.push_back(true);
  return m_valueOffset;
}

bool Pds_PahJsonReader::NextMember() {
  auto& in = m_stream->in;
  char c = SkipSpace();
  if (c == '}') {  // an empty object, or the end after a member
    in.Take();
    m_first.pop_back();
    return false;
  }
  if (!m_first.back()) {
    if (c != ',') FailSyntax(rapidjson::kParseErrorObjectMissCommaOrCurlyBracket, in.Tell());
    in.Take();
    c = SkipSpace();
  }
  m_first.back() = false;
  if (c != '"') FailSyntax(rapidjson::kParseErrorObjectMissName, in.Tell());
  m_keyOffset = in.Tell();
  m_handler->text = &m_key;
  ParseScalar();
  if (SkipSpace() != ':') FailSyntax(rapidjson::kParseErrorObjectMissColon, in.Tell());
  in.Take();
  return true;
}

bool Pds_PahJsonReader::NextElement() {
  auto& in = m_stream->in;
  if (SkipSpace() == ']') {  // an empty array, or the end after an element
    in.Take();
    m_first.pop_back();
    return false;
  }
  if (!m_first.back()) {
    if (in.Peek() != ',')
      FailSyntax(rapidjson::kParseErrorArrayMissCommaOrSquareBracket, in.Tell());
    in.Take();
    if (SkipSpace() == ']') FailSyntax(rapidjson::kParseErrorValueInvalid, in.Tell());
  }
  m_first.back() = false;
  return true;
}

void Pds_PahJsonReader::ParseScalar() {
  auto& s = *m_stream;
  s.reader.Parse<kScalarFlags>(s.in, *m_handler);
  if (s.reader.HasParseError()) {
    FailSyntax(s.reader.GetParseErrorCode(), s.reader.GetErrorOffset());
  }
}

std::string_view Pds_PahJsonReader::ReadString(const char* label) {
  StartValue(label, SkipSpace() == '"', "a string");
  m_handler->text = &m_text;
  ParseScalar();
  return m_text;
}

std::int64_t Pds_PahJsonReader::ReadInt(const char* label, std::int64_t low, std::int64_t high) {
  StartValue(label, StartsNumber(SkipSpace()), "an integer");
  ParseScalar();
  const Handler& h = *m_handler;
  if (h.kind == Handler::kDouble) FailType(label, "an integer");
  if (h.kind == Handler::kHugeInt || h.integer < low || h.integer > high) {
    Fail(m_valueOffset, std::string(label) + " is out of range (" + std::to_string(low) + ".." +
                            std::to_string(high) + ")");
  }
  return h.integer;
}

bool Pds_PahJsonReader::ReadBool(const char* label) {
  const char c = SkipSpace();
  StartValue(label, c == 't' || c == 'f', "true or false");
  ParseScalar();
  return m_handler->boolean;
}

void Pds_PahJsonReader::ExpectEnd() {
  auto& in = m_stream->in;
  while (IsSpace(in.Peek()))
    in.Take();
  if (in.Peek() != '\0') FailSyntax(rapidjson::kParseErrorDocumentRootNotSingular, in.Tell());
  if (in.Tell() < m_size) Fail(in.Tell(), "unexpected NUL byte");
}

void Pds_PahJsonReader::FailType(const char* label, const char* type) const {
  Fail(m_valueOffset, std::string(label) + " must be " + type);
}

void Pds_PahJsonReader::FailSyntax(int code, std::uint64_t offset) const {
  if (offset >= m_size) Fail(offset, "unexpected end of file");
  Fail(offset, SyntaxText(static_cast<rapidjson::ParseErrorCode>(code)));
}

std::string Pds_PahJsonReader::Position(std::uint64_t offset) const {
  std::uint64_t line = 1;
  std::uint64_t column = 1;
  std::vector<char> buffer(kBufferSize);
  std::rewind(m_file);
  for (std::uint64_t done = 0; done < offset;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), offset - done));
    const std::size_t got = std::fread(buffer.data(), 1, want, m_file);
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) {
      const unsigned char b = static_cast<unsigned char>(buffer[i]);
      if (b == '\n') {
        ++line;
        column = 1;
      } else if ((b & 0xC0) != 0x80) {
        ++column;
      }
    }
    done += got;
  }
  return m_fileName + ":" + std::to_string(line) + ":" + std::to_string(column);
}

void Pds_PahJsonReader::Fail(std::uint64_t offset, const std::string& cause) const {
  throw Pds_Exception("Pds_PahJsonReader", __LINE__, Position(offset) + ": " + cause);
}
