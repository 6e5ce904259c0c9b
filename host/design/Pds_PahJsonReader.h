// Pds_PahJsonReader: the token stream under the design loader (internal).
//
// Pulls JSON from a file through a 64 KiB buffer, never holding more. A
// file that starts with gzip's magic bytes is decompressed as it is read;
// offsets, lines and columns then count in the decompressed text. The
// reader steps over the structure ({ } [ ] , :) itself and reads the common
// scalars in place: strings without escapes, integers of at most 18 digits,
// true and false. Anything else (escapes, fractions, exponents, huge
// numbers, a token cut by the end of the buffer, malformed text) goes to
// RapidJSON's reader, which parses exactly one value from the same buffer
// and stops; so unusual numbers, escapes and syntax errors are RapidJSON's,
// with its messages.
//
// Every failure throws Pds_Exception "<file>:<line>:<column>: <cause>";
// the line and column are found only then, by rescanning the file up to the
// failing byte. Columns count characters (UTF-8), from 1.
//
// `label` arguments name the value for type errors: "'level'" gives
// "'level' must be an integer". One thread uses a reader.
//
// A reader asks its stop test at every buffer fill (and while it looks for
// an error's line) and throws Pds_Exception "<file>: reading cancelled" once
// it answers true, so that a cancelled read ends within one buffer.
// A reader given a progress entry sets its total to the file's size as
// stored and moves it on at every buffer fill (Pds_PahLoadProgress.h).
// Opening refuses what is not a regular file ("<file>: cannot open design
// file: not a regular design file") without waiting for a FIFO's writer.
//
// A reader reads the file its name stood for when it was opened, even once
// another file is renamed over that name. A file written to while it is read fails
// as "<file>: the design file changed while it was read", at
// ExpectUnchanged or at any failure its new bytes cause (which a position
// in them would not explain).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Pds_PahFileId.h"
#include "Pds_PahLoadProgress.h"

struct gzFile_s;

class Pds_PahJsonReader {
 public:
  using StopTest = bool (*)();
  // `stop` and `progress` may be null (never stop, report nothing).
  explicit Pds_PahJsonReader(std::string fileName, StopTest stop = nullptr,
                             Pds_PahLoadProgress::Entry* progress = nullptr);
  ~Pds_PahJsonReader();
  Pds_PahJsonReader(const Pds_PahJsonReader&) = delete;
  Pds_PahJsonReader& operator=(const Pds_PahJsonReader&) = delete;

  const std::string& FileName() const { return m_fileName; }
  Pds_PahLoadProgress::Entry* Progress() const { return m_progress; }
  // The bytes of JSON text; for a compressed file known only once its end
  // has been read (until then the largest value), but 0 for an empty one.
  std::uint64_t FileSize() const { return m_size; }
  // The current position in the file.
  std::uint64_t Tell() const { return m_bufferOffset + static_cast<std::uint64_t>(m_cur - Data()); }

  // Answers the offset of the '{' / '['.
  std::uint64_t BeginObject(const char* label);
  std::uint64_t BeginArray(const char* label);
  // The next member of the innermost object: false at its end; else the
  // key is Key() and the reader stands before the member's value. The key
  // stays valid until the member's value is read.
  bool NextMember();
  std::string_view Key() const { return m_key; }
  std::uint64_t KeyOffset() const { return m_keyOffset; }
  // The next element of the innermost array: false at its end.
  bool NextElement();

  // The text is valid until the next read.
  std::string_view ReadString(const char* label);
  std::int64_t ReadInt(const char* label, std::int64_t low, std::int64_t high);
  // The integer at the reader into `value`; false (and `value` unspecified)
  // when it does not fit 64 bits. Fails for anything but an integer.
  bool ReadInteger(const char* label, std::int64_t& value);
  // The text of the value read last, at most kQuoteLimit characters of it
  // (then "..."): for messages about numbers.
  std::string ValueText() const;
  bool ReadBool(const char* label);
  // Offset of the first byte of the value read or begun last.
  std::uint64_t ValueOffset() const { return m_valueOffset; }

  // Only white space may follow the design's object.
  void ExpectEnd();
  // Refuses a file that starts with a byte-order mark (call first).
  void RefuseByteOrderMark();
  // The file as it was opened; ExpectUnchanged fails once it is no longer.
  const Pds_PahFileId& FileId() const { return m_id; }
  void ExpectUnchanged() const;

  // Reading one file on two threads (Pds_PahJsonSplit.h): whether the
  // text can be read from any offset (it is not compressed), and going
  // there. After SeekTo the reader stands as after a '[': NextElement reads
  // the element, or the end of the array, at `offset`.
  bool CanSeek() const { return m_gz == nullptr; }
  void SeekTo(std::uint64_t offset);
  // Makes this reader report its progress as a part of another's load
  // (Pds_PahLoadProgress::Entry::SetPartDone), in bytes from the offset
  // it seeks to next, after `before` bytes of the parts read before it;
  // the figure is dropped when the reader goes, unless KeepPartProgress
  // was called. The other reader, seeking past the parts, drops it at its
  // next read.
  void ReportAsPart(std::uint64_t before) {
    m_asPart = true;
    m_partBefore = before;
  }
  void KeepPartProgress() { m_keepPart = true; }

  [[noreturn]] void Fail(std::uint64_t offset, const std::string& cause) const;
  // The offset of the failure thrown last.
  std::uint64_t FailedAt() const { return m_failedAt; }
  // Throws the cancellation when the stop test answers true; for long
  // steps of the reader's user.
  void PollStop() const;

  // `text` in single quotes, for a message: at most kQuoteLimit characters
  // of it, cut between characters and marked "..." when cut, with control
  // characters written as escapes, so that a message never carries more
  // than a bounded piece of the input.
  static constexpr std::size_t kQuoteLimit = 64;
  static std::string Quote(std::string_view text);
  [[noreturn]] void FailType(const char* label, const char* type) const;

 private:
  struct Stream;
  struct Parser;
  static std::FILE* Open(const std::string& fileName, Pds_PahFileId& id);
  bool Changed() const;
  const char* Data() const { return m_buffer.data(); }
  bool Refill();
  void OpenCompressed();
  // Up to `want` bytes of text from the current position; 0 at the end.
  std::size_t ReadRaw(char* into, std::size_t want) const;
  void SeekRaw(std::uint64_t offset) const;
  // The next byte that is not white space. Compact text has none between
  // most tokens, so that case is decided here and the rest out of line.
  char SkipSpace() {
    const char c = *m_cur;
    return static_cast<unsigned char>(c) > ' ' ? c : SkipSpaceSlowly();
  }
  char SkipSpaceSlowly();
  void StartValue(const char* label, bool ok, const char* type);
  std::string_view ReadText(std::string& copy);
  std::string_view ParseText(std::string& copy, std::uint64_t offset);
  bool ScanString(std::string_view& text);
  bool ScanInt(std::int64_t& value);
  void ParseScalar();
  [[noreturn]] void FailSyntax(int rapidjsonCode, std::uint64_t offset) const;
  std::string Position(std::uint64_t offset) const;

  std::string m_fileName;
  StopTest m_stop;
  Pds_PahLoadProgress::Entry* m_progress;
  std::FILE* m_file = nullptr;
  gzFile_s* m_gz = nullptr;  // instead of m_file for a compressed file
  int m_fd = -1;             // the file's, which m_file or m_gz owns
  Pds_PahFileId m_id;        // when opened
  std::uint64_t m_size = 0;
  // The bytes of the file from m_bufferOffset on; *m_end is a NUL that
  // stops every scan at the end of the data read.
  std::vector<char> m_buffer;
  const char* m_cur = nullptr;
  const char* m_end = nullptr;
  std::uint64_t m_bufferOffset = 0;
  std::unique_ptr<Parser> m_parser;
  // True right after '{' or '[': the next member or element needs no comma.
  bool m_opened = false;
  std::string_view m_key;  // in the buffer, or in m_keyCopy
  bool m_keyInBuffer = false;
  std::string m_keyCopy;
  std::string m_textCopy;  // strings RapidJSON read
  std::uint64_t m_keyOffset = 0;
  std::uint64_t m_valueOffset = 0;
  mutable std::uint64_t m_failedAt = 0;
  bool m_asPart = false;
  bool m_keepPart = false;
  bool m_dropPart = false;       // at the next read, the part's figure
  std::uint64_t m_partFrom = 0;  // where a part's count starts
  std::uint64_t m_partBefore = 0;
};
