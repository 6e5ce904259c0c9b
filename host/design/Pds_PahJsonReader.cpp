#include "Pds_PahJsonReader.h"

#include <fcntl.h>
#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include "Pds_Exception.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// In situ: RapidJSON writes what it decodes to the input stream (Stream's
// Put, into the reader's copy) instead of its own stack, which it would
// first grow from a null pointer (undefined behaviour). Numbers never use
// the stack with these flags.
constexpr unsigned kScalarFlags = rapidjson::kParseStopWhenDoneFlag | rapidjson::kParseInsituFlag |
                                  rapidjson::kParseValidateEncodingFlag;
// Fewer digits than this can neither overflow an int64 nor need a double.
constexpr std::ptrdiff_t kPlainDigits = 18;

bool IsSpace(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool StartsNumber(char c) {
  return c == '-' || IsDigit(c);
}

// Bytes that stand for themselves inside a string: ASCII but not the
// closing quote, not an escape, not a control character (the buffer's
// closing NUL is one). Strings with other bytes go to RapidJSON, which
// checks that they are UTF-8.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c)
    plain[c] = c != '"' && c != '\\';
  return plain;
}();

// RapidJSON's English text, in the style of our other causes.
std::string SyntaxText(rapidjson::ParseErrorCode code) {
  std::string text = rapidjson::GetParseError_En(code);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] + 32);
  return text;
}

// Records the one scalar RapidJSON reports.
struct Handler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Handler> {
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
  // The text is in *text already (Stream::Put), with the closing NUL.
  bool String(const char*, rapidjson::SizeType n, bool) {
    text->resize(n);
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

}  // namespace

struct Pds_PahJsonReader::Parser {
  rapidjson::Reader reader;
  Handler handler;
};

// RapidJSON's input stream over the reader's buffer: it reads on from where
// the reader stands and refills the buffer as it goes.
struct Pds_PahJsonReader::Stream {
  using Ch = char;
  explicit Stream(Pds_PahJsonReader& r) : reader(r) {}
  Ch Peek() const {
    if (reader.m_cur == reader.m_end) reader.Refill();
    return *reader.m_cur;
  }
  Ch Take() {
    const Ch c = Peek();
    if (reader.m_cur != reader.m_end) ++reader.m_cur;
    return c;
  }
  std::size_t Tell() const { return static_cast<std::size_t>(reader.Tell()); }
  // What RapidJSON decodes goes to the handler's text; the pointer it hands
  // back to the handler is never read.
  Ch* PutBegin() {
    Text().clear();
    static Ch unused;
    return &unused;
  }
  void Put(Ch c) { Text().push_back(c); }
  std::size_t PutEnd(Ch*) { return Text().size(); }
  std::string& Text() const { return *reader.m_parser->handler.text; }

  Pds_PahJsonReader& reader;
};

Pds_PahJsonReader::Pds_PahJsonReader(std::string fileName, StopTest stop,
                                     Pds_PahLoadProgress::Entry* progress)
    : m_fileName(std::move(fileName)), m_stop(stop), m_progress(progress) {
  m_file = Open(m_fileName, m_id);
  m_fd = ::fileno(m_file);
  m_size = m_id.size;
  if (m_progress) m_progress->SetTotal(m_size);
  m_buffer.assign(kBufferSize + 1, '\0');
  m_cur = m_end = Data();
  m_parser = std::make_unique<Parser>();
  m_parser->handler.text = &m_textCopy;
  OpenCompressed();
}

Pds_PahJsonReader::~Pds_PahJsonReader() {
  if (m_asPart && !m_keepPart && m_progress) m_progress->SetPartDone(0);
  if (m_file) std::fclose(m_file);
  if (m_gz) gzclose(m_gz);
}

// Switches to zlib for a gzip file, and reads its first block so that an
// empty one is known as such.
void Pds_PahJsonReader::OpenCompressed() {
  unsigned char magic[2] = {0, 0};
  const bool gzip = std::fread(magic, 1, 2, m_file) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
  std::rewind(m_file);
  if (!gzip) return;
  // zlib reads the file that was opened, not whatever now bears its name.
  const int fd = ::dup(m_fd);
  std::fclose(m_file);
  m_file = nullptr;
  m_fd = -1;
  if (fd >= 0 && ::lseek(fd, 0, SEEK_SET) == 0) m_gz = gzdopen(fd, "rb");
  if (m_gz == nullptr) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    throw Pds_Exception("Pds_PahJsonReader", __LINE__,
                        Port::StringBase::doFormat("%s: cannot open design file: %s",
                                                   m_fileName.c_str(), std::strerror(error)));
  }
  m_fd = fd;
  m_size = std::numeric_limits<std::uint64_t>::max();
  try {
    Refill();
  } catch (...) {
    gzclose(m_gz);  // the destructor does not run for a constructor that throws
    m_gz = nullptr;
    throw;
  }
}

// Compressed: zlib reads the data again up to the offset when it lies before.
void Pds_PahJsonReader::SeekRaw(std::uint64_t offset) const {
  if (m_gz != nullptr) {
    gzseek(m_gz, static_cast<z_off_t>(offset), SEEK_SET);
  } else {
    fseeko(m_file, static_cast<off_t>(offset), SEEK_SET);
  }
}

std::size_t Pds_PahJsonReader::ReadRaw(char* into, std::size_t want) const {
  if (m_gz == nullptr) return std::fread(into, 1, want, m_file);
  const int got = gzread(m_gz, into, static_cast<unsigned>(want));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// Opening without blocking, then looking at what was opened, refuses a
// FIFO or a device before a read could wait for a writer forever (and
// without the race of looking first and opening after).
std::FILE* Pds_PahJsonReader::Open(const std::string& fileName, Pds_PahFileId& id) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::string reason = fd < 0 ? std::strerror(errno) : "";
  struct stat status {};
  if (fd >= 0 && ::fstat(fd, &status) != 0) reason = std::strerror(errno);
  if (reason.empty() && S_ISDIR(status.st_mode)) reason = std::strerror(EISDIR);
  if (reason.empty() && !S_ISREG(status.st_mode)) reason = "not a regular design file";
  if (reason.empty() && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    reason = std::strerror(errno);
  }
  std::FILE* file = reason.empty() ? ::fdopen(fd, "rb") : nullptr;
  if (reason.empty() && file == nullptr) reason = std::strerror(errno);
  if (!reason.empty()) {
    if (fd >= 0) ::close(fd);
    throw Pds_Exception("Pds_PahJsonReader", __LINE__,
                        Port::StringBase::doFormat("%s: cannot open design file: %s",
                                                   fileName.c_str(), reason.c_str()));
  }
  id = Pds_PahFileId::Of(status);
  return file;
}

void Pds_PahJsonReader::PollStop() const {
  if (m_stop != nullptr && m_stop()) {
    throw Pds_Exception("Pds_PahJsonReader", __LINE__,
                        Port::StringBase::doFormat("%s: reading cancelled", m_fileName.c_str()));
  }
}

// Reads the next part of the file once the buffer is used up (m_cur at
// m_end); false at the end of the file. A key read in place is copied
// first, so that Key() outlives the buffer's contents.
bool Pds_PahJsonReader::Refill() {
  if (m_keyInBuffer) {
    m_keyCopy.assign(m_key);
    m_key = m_keyCopy;
    m_keyInBuffer = false;
  }
  PollStop();
  m_bufferOffset += static_cast<std::uint64_t>(m_end - Data());
  const std::size_t got = ReadRaw(m_buffer.data(), kBufferSize);
  m_buffer[got] = '\0';
  m_cur = Data();
  m_end = m_cur + got;
  if (m_progress) {
    const std::uint64_t at =
        m_gz ? static_cast<std::uint64_t>(gzoffset(m_gz)) : m_bufferOffset + got;
    if (m_asPart) {
      m_progress->SetPartDone(m_partBefore + at - m_partFrom);
    } else {
      m_progress->SetDone(at);
      if (m_dropPart) m_progress->SetPartDone(0);
      m_dropPart = false;
    }
  }
  if (got == 0 && m_gz != nullptr) {
    int code = Z_OK;
    const char* message = gzerror(m_gz, &code);
    if (code != Z_OK && code != Z_BUF_ERROR) {
      // zlib names the file by its descriptor ("<fd:5>: ..."); the message names it already.
      std::string_view cause = message;
      if (cause.starts_with("<fd:") && cause.find(">: ") != std::string_view::npos)
        cause.remove_prefix(cause.find(">: ") + 3);
      Fail(m_bufferOffset, "corrupt compressed data: " + std::string(cause));
    }
    // Z_BUF_ERROR: the compressed data ends in the middle of the text.
    m_size = m_bufferOffset;
    if (code == Z_BUF_ERROR) Fail(m_bufferOffset, "the compressed data is cut short");
  }
  return got > 0;
}

// Also reads on past the end of the buffer, and stops at a NUL byte.
char Pds_PahJsonReader::SkipSpaceSlowly() {
  do {
    while (IsSpace(*m_cur))
      ++m_cur;
  } while (m_cur == m_end && Refill());
  if (*m_cur != '\0') return *m_cur;
  const std::uint64_t at = Tell();
  if (at >= m_size) Fail(at, "unexpected end of file");
  Fail(at, "unexpected NUL byte");
}

void Pds_PahJsonReader::StartValue(const char* label, bool ok, const char* type) {
  m_valueOffset = Tell();
  if (!ok) FailType(label, type);
}

std::uint64_t Pds_PahJsonReader::BeginObject(const char* label) {
  StartValue(label, SkipSpace() == '{', "an object");
  ++m_cur;
  m_opened = true;
  return m_valueOffset;
}

std::uint64_t Pds_PahJsonReader::BeginArray(const char* label) {
  StartValue(label, SkipSpace() == '[', "an array");
  ++m_cur;
  m_opened = true;
  return m_valueOffset;
}

bool Pds_PahJsonReader::NextMember() {
  char c = SkipSpace();
  if (c == '}') {  // an empty object, or the end after a member
    ++m_cur;
    m_opened = false;
    return false;
  }
  if (!m_opened) {
    if (c != ',') FailSyntax(rapidjson::kParseErrorObjectMissCommaOrCurlyBracket, Tell());
    ++m_cur;
    c = SkipSpace();
  }
  m_opened = false;
  if (c != '"') FailSyntax(rapidjson::kParseErrorObjectMissName, Tell());
  m_keyOffset = Tell();
  m_keyInBuffer = ScanString(m_key);
  if (!m_keyInBuffer) m_key = ParseText(m_keyCopy, m_keyOffset);
  if (SkipSpace() != ':') FailSyntax(rapidjson::kParseErrorObjectMissColon, Tell());
  ++m_cur;
  return true;
}

bool Pds_PahJsonReader::NextElement() {
  if (SkipSpace() == ']') {  // an empty array, or the end after an element
    ++m_cur;
    m_opened = false;
    return false;
  }
  if (!m_opened) {
    if (*m_cur != ',') FailSyntax(rapidjson::kParseErrorArrayMissCommaOrSquareBracket, Tell());
    ++m_cur;
    if (SkipSpace() == ']') FailSyntax(rapidjson::kParseErrorValueInvalid, Tell());
  }
  m_opened = false;
  return true;
}

// A string that has no escape or control character and ends inside the
// buffer is answered in place (the reader stands at its opening quote).
bool Pds_PahJsonReader::ScanString(std::string_view& text) {
  const char* p = m_cur + 1;
  while (kPlain[static_cast<unsigned char>(*p)])
    ++p;
  if (*p != '"') return false;
  text = std::string_view(m_cur + 1, static_cast<std::size_t>(p - m_cur - 1));
  m_cur = p + 1;
  return true;
}

// The string at the reader, in place when it can be, else in `copy`.
std::string_view Pds_PahJsonReader::ReadText(std::string& copy) {
  std::string_view text;
  return ScanString(text) ? text : ParseText(copy, m_valueOffset);
}

// The string at the reader (which starts at `offset`), by RapidJSON, into
// `copy`. Escapes may make what no name or value may hold: a NUL, which
// would cut the text short, or a lone low surrogate, which RapidJSON
// writes as three bytes that are not UTF-8.
std::string_view Pds_PahJsonReader::ParseText(std::string& copy, std::uint64_t offset) {
  m_parser->handler.text = &copy;
  ParseScalar();
  if (copy.find('\0') != std::string::npos) {
    Fail(offset, "a string must not contain the NUL character (\\u0000)");
  }
  for (std::size_t at = copy.find('\xED'); at != std::string::npos;
       at = copy.find('\xED', at + 1)) {
    if (at + 1 < copy.size() && static_cast<unsigned char>(copy[at + 1]) >= 0xA0) {
      FailSyntax(rapidjson::kParseErrorStringUnicodeSurrogateInvalid, offset);
    }
  }
  return copy;
}

// A plain integer: an optional minus, then 0 or fewer than 19 digits
// without a leading zero, ending inside the buffer before anything that
// could continue a number. Any other number is RapidJSON's.
bool Pds_PahJsonReader::ScanInt(std::int64_t& value) {
  const char* const digits = m_cur + (*m_cur == '-' ? 1 : 0);
  const char* p = digits;
  std::int64_t magnitude = 0;
  while (p - digits < kPlainDigits && IsDigit(*p)) {
    magnitude = magnitude * 10 + (*p - '0');
    ++p;
  }
  if (p == digits || IsDigit(*p) || (p - digits > 1 && *digits == '0')) return false;
  if (p == m_end || *p == '.' || *p == 'e' || *p == 'E') return false;
  value = digits == m_cur ? magnitude : -magnitude;
  m_cur = p;
  return true;
}

void Pds_PahJsonReader::ParseScalar() {
  Parser& p = *m_parser;
  Stream in(*this);
  p.reader.Parse<kScalarFlags>(in, p.handler);
  if (p.reader.HasParseError()) {
    FailSyntax(p.reader.GetParseErrorCode(), p.reader.GetErrorOffset());
  }
}

std::string_view Pds_PahJsonReader::ReadString(const char* label) {
  StartValue(label, SkipSpace() == '"', "a string");
  return ReadText(m_textCopy);
}

bool Pds_PahJsonReader::ReadInteger(const char* label, std::int64_t& value) {
  StartValue(label, StartsNumber(SkipSpace()), "an integer");
  if (ScanInt(value)) return true;
  ParseScalar();
  const Handler& h = m_parser->handler;
  value = h.integer;
  if (h.kind != Handler::kDouble) return h.kind != Handler::kHugeInt;
  // RapidJSON reads integers too large for 64 bits as doubles too.
  const std::string text = ValueText();
  if (text.find_first_of(".eE") != std::string::npos) FailType(label, "an integer");
  return false;
}

std::int64_t Pds_PahJsonReader::ReadInt(const char* label, std::int64_t low, std::int64_t high) {
  std::int64_t value = 0;
  const bool fits = ReadInteger(label, value);
  if (!fits || value < low || value > high) {
    Fail(m_valueOffset, std::string(label) + " is out of range (" + std::to_string(low) + ".." +
                            std::to_string(high) + ")");
  }
  return value;
}

bool Pds_PahJsonReader::ReadBool(const char* label) {
  const char c = SkipSpace();
  StartValue(label, c == 't' || c == 'f', "true or false");
  const std::ptrdiff_t left = m_end - m_cur;
  if (left >= 4 && std::memcmp(m_cur, "true", 4) == 0) {
    m_cur += 4;
    return true;
  }
  if (left >= 5 && std::memcmp(m_cur, "false", 5) == 0) {
    m_cur += 5;
    return false;
  }
  ParseScalar();
  return m_parser->handler.boolean;
}

void Pds_PahJsonReader::ExpectEnd() {
  do {
    while (IsSpace(*m_cur))
      ++m_cur;
  } while (m_cur == m_end && Refill());
  if (*m_cur != '\0') FailSyntax(rapidjson::kParseErrorDocumentRootNotSingular, Tell());
  if (Tell() < m_size) Fail(Tell(), "unexpected NUL byte");
}

std::string Pds_PahJsonReader::ValueText() const {
  // One more character than shown tells whether to mark the text cut.
  const std::uint64_t length = std::min<std::uint64_t>(Tell() - m_valueOffset, 4 * kQuoteLimit + 4);
  std::string text(static_cast<std::size_t>(length), '\0');
  const std::uint64_t inBuffer = static_cast<std::uint64_t>(m_cur - Data());
  if (Tell() - m_valueOffset <= inBuffer) {
    text.assign(m_cur - (Tell() - m_valueOffset), text.size());
  } else {  // the value began before the buffer's contents: read it again
    const std::uint64_t resume = m_bufferOffset + static_cast<std::uint64_t>(m_end - Data());
    SeekRaw(m_valueOffset);
    text.resize(ReadRaw(text.data(), text.size()));
    SeekRaw(resume);
  }
  const std::string quoted = Quote(text);
  return quoted.substr(1, quoted.size() - 2);
}

void Pds_PahJsonReader::RefuseByteOrderMark() {
  if (m_cur == m_end) Refill();
  if (m_end - m_cur >= 3 && std::memcmp(m_cur, "\xEF\xBB\xBF", 3) == 0) {
    Fail(Tell(), "the file starts with a byte-order mark (design files are UTF-8 without one)");
  }
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
  // After corrupt data zlib refuses to seek until its error is cleared;
  // the text before the failure decompresses again as it did.
  if (m_gz != nullptr) gzclearerr(m_gz);
  SeekRaw(0);
  for (std::uint64_t done = 0; done < offset;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), offset - done));
    const std::size_t got = ReadRaw(buffer.data(), want);
    if (got == 0) break;
    PollStop();
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

std::string Pds_PahJsonReader::Quote(std::string_view text) {
  std::string out = "'";
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool starts = (c & 0xC0) != 0x80;
    if (starts && characters++ == kQuoteLimit) {
      out += "...";
      break;
    }
    if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out + "'";
}

void Pds_PahJsonReader::SeekTo(std::uint64_t offset) {
  if (m_asPart) {
    m_partFrom = offset;
  } else {
    m_dropPart = true;
  }
  m_keyInBuffer = false;
  m_key = {};
  SeekRaw(offset);
  m_bufferOffset = offset;
  m_buffer[0] = '\0';
  m_cur = m_end = Data();
  m_opened = true;
}

bool Pds_PahJsonReader::Changed() const {
  Pds_PahFileId now;
  return !Pds_PahFileId::OfDescriptor(m_fd, now) || !now.Holds(m_id);
}

void Pds_PahJsonReader::ExpectUnchanged() const {
  if (Changed()) {
    throw Pds_Exception("Pds_PahJsonReader", __LINE__,
                        m_fileName + ": the design file changed while it was read");
  }
}

// A file written to while it was read fails for that, not at a position
// in bytes that were never one file's.
void Pds_PahJsonReader::Fail(std::uint64_t offset, const std::string& cause) const {
  m_failedAt = offset;
  ExpectUnchanged();
  throw Pds_Exception("Pds_PahJsonReader", __LINE__, Position(offset) + ": " + cause);
}
