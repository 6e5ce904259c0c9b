// Built twice: for any x86-64 processor, and (as Pds_PahJsonSplitAvx2.cpp,
// with PDS_PAH_JSON_SPLIT_AVX2 set) with AVX2, POPCNT, PCLMULQDQ and BMI1,
// which the entry points below choose where the processor has them.
#include "Pds_PahJsonSplit.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

constexpr std::size_t kBuffer = std::size_t{1} << 20;
constexpr std::size_t kBlock = 64;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// One open array of blocks, or block: only those are on the stack (the
// scan counts its way through anything else). Plain, so that the stack
// costs nothing per block; a block's name is kept beside it
// (Scanner::m_names).
struct Container {
  std::uint64_t start = 0;
  bool array = false;      // an array of blocks; else a block
  bool expectKey = false;  // an object before a key
  bool nameNext = false;   // the value read next is the block's "name"
  bool blocksNext = false;
  bool named = false;     // the block's name was read (in m_names)
  bool nameKnown = true;  // false when the name holds an escape or was cut
};

// The bytes of a 64-byte block that matter to the structure, one bit each.
struct Bytes {
  std::uint64_t backslashes = 0;
  std::uint64_t quotes = 0;
  std::uint64_t opens = 0;   // '{' and '['
  std::uint64_t closes = 0;  // '}' and ']'
  std::uint64_t commas = 0;
};

// The vector instructions Find uses: 32 bytes at a time with AVX2, else 16.
#ifdef __AVX2__
struct Lanes {
  using Vector = __m256i;
  static constexpr int kWidth = 32;
  static Vector Load(const char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Vector*>(p));
  }
  static Vector Splat(char c) { return _mm256_set1_epi8(c); }
  static Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
  static std::uint64_t Equal(Vector a, Vector b) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
  }
};
#else
struct Lanes {
  using Vector = __m128i;
  static constexpr int kWidth = 16;
  static Vector Load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const Vector*>(p)); }
  static Vector Splat(char c) { return _mm_set1_epi8(c); }
  static Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
  static std::uint64_t Equal(Vector a, Vector b) {
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
  }
};
#endif

// Each 16 (or 32) bytes are loaded once and compared with six patterns: a
// bracket and a brace differ by one bit (0x20), so one compare finds both.
Bytes Find(const char* p) {
  const Lanes::Vector backslash = Lanes::Splat('\\'), quote = Lanes::Splat('"');
  const Lanes::Vector fold = Lanes::Splat(0x20), open = Lanes::Splat('{');
  const Lanes::Vector close = Lanes::Splat('}'), comma = Lanes::Splat(',');
  Bytes found;
  for (int i = 0; i < static_cast<int>(kBlock) / Lanes::kWidth; ++i) {
    const Lanes::Vector bytes = Lanes::Load(p + Lanes::kWidth * i);
    const Lanes::Vector folded = Lanes::Or(bytes, fold);
    const int shift = Lanes::kWidth * i;
    found.backslashes |= Lanes::Equal(bytes, backslash) << shift;
    found.quotes |= Lanes::Equal(bytes, quote) << shift;
    found.opens |= Lanes::Equal(folded, open) << shift;
    found.closes |= Lanes::Equal(folded, close) << shift;
    found.commas |= Lanes::Equal(bytes, comma) << shift;
  }
  return found;
}

// Each bit the parity of the bits up to it: 1 from an opening quote up to
// the byte before its closing one.
std::uint64_t PrefixXor(std::uint64_t bits) {
#ifdef __PCLMUL__
  // A carry-less product with all ones is that running parity.
  const __m128i product =
      _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(bits)), _mm_set1_epi8(-1), 0);
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
#else
  for (int shift = 1; shift < 64; shift *= 2)
    bits ^= bits << shift;
  return bits;
#endif
}

// The structure of JSON text, 64 bytes at a time: masks of quotes,
// backslashes and the structural characters, and the strings' extent from
// the quotes. Its state carries a string or an escape from one block to
// the next.
class Classifier {
 public:
  struct Masks {
    std::uint64_t opens;     // '{' and '[' outside strings
    std::uint64_t brackets;  // opening and closing ones outside strings
    // Those, commas outside strings, and opening quotes. Colons are left
    // out: a key is the string after '{' or ',', and what follows it up to
    // the next ',' or '}' its value.
    std::uint64_t events;
  };
  Masks Next(const char* p) {
    const Bytes found = Find(p);
    std::uint64_t quotes = found.quotes;
    if (found.backslashes != 0 || m_escapeNext) quotes &= ~Escaped(found.backslashes);
    std::uint64_t inString = PrefixXor(quotes);
    if (m_inString) inString = ~inString;
    m_inString = (inString >> 63) != 0;
    const std::uint64_t opens = found.opens & ~inString;
    const std::uint64_t brackets = opens | (found.closes & ~inString);
    const std::uint64_t others = (found.commas & ~inString) | (quotes & inString);
    return {opens, brackets, brackets | others};
  }

 private:
  std::uint64_t Escaped(std::uint64_t backslashes);

  bool m_inString = false;    // at the end of the block classified last
  bool m_escapeNext = false;  // its last byte was an escaping backslash
};

// The bytes a backslash escapes (one that is not itself escaped).
std::uint64_t Classifier::Escaped(std::uint64_t backslashes) {
  std::uint64_t escaped = 0;
  if (m_escapeNext) {
    escaped = 1;
    backslashes &= ~std::uint64_t{1};
  }
  m_escapeNext = false;
  while (backslashes != 0) {
    const int i = __builtin_ctzll(backslashes);
    if (i == 63) {
      m_escapeNext = true;
      break;
    }
    escaped |= std::uint64_t{1} << (i + 1);
    backslashes &= ~(std::uint64_t{3} << i);
  }
  return escaped;
}

enum Outcome { kGoOn, kFound, kGiveUp };

// Counts the brackets of a block among the bits of `left` into `depth`,
// the depth inside containers whose insides do not matter: false when
// the block ends first; else `depth` is 0 and `left` narrowed to the bits
// after the bracket that closed the last of them. At once when the block
// cannot close them all, one by one when it may.
[[gnu::always_inline]] inline bool CountBrackets(const Classifier::Masks& masks,
                                                 std::uint32_t& depth, std::uint64_t& left) {
  const std::uint64_t opens = masks.opens & left, closes = masks.brackets & ~masks.opens & left;
  const auto closing = static_cast<std::uint32_t>(__builtin_popcountll(closes));
  if (closing < depth) {
    depth += static_cast<std::uint32_t>(__builtin_popcountll(opens)) - closing;
    return false;
  }
  for (std::uint64_t b = opens | closes; b != 0; b &= b - 1) {
    const int i = __builtin_ctzll(b);
    depth += (opens >> i) & 1 ? 1 : -1;
    if (depth == 0) {
      left = i == 63 ? 0 : ~std::uint64_t{0} << (i + 1);
      return true;
    }
  }
  return false;
}

// Feeds a file from `from` on to `scan.Block(p, bytes, at, end)` 64 bytes
// at a time (the last block padded with spaces; `end` the end of the
// bytes in memory), telling `scan.NewBuffer(size)` the file's size before each megabyte, until
// it answers other than kGoOn: whether it found what it looks for. False
// also at the file's end, when it cannot be read, or when `stop` answers
// true (asked every megabyte).
template <class Scan>
bool ScanFile(const std::string& fileName, std::uint64_t from, bool (*stop)(), Scan& scan) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
  if (!file || fseeko(file.get(), 0, SEEK_END) != 0) return false;
  const off_t size = ftello(file.get());
  if (size <= static_cast<off_t>(from) ||
      fseeko(file.get(), static_cast<off_t>(from), SEEK_SET) != 0) {
    return false;
  }
  // No larger than what is left: every load of a file of the split
  // minimum or more starts a scan, however small the file.
  const auto capacity = static_cast<std::size_t>(
      std::min<std::uint64_t>(kBuffer, static_cast<std::uint64_t>(size) - from));
  std::vector<char> buffer(capacity + kBlock, ' ');
  std::uint64_t offset = from;
  for (;;) {
    if (stop != nullptr && stop()) return false;
    scan.NewBuffer(static_cast<std::uint64_t>(size));
    const std::size_t got = std::fread(buffer.data(), 1, capacity, file.get());
    if (got == 0) return false;
    std::memset(buffer.data() + got, ' ', kBlock);
    for (std::size_t i = 0; i < got; i += kBlock) {
      const Outcome outcome =
          scan.Block(buffer.data() + i, std::min(kBlock, got - i), offset + i, buffer.data() + got);
      if (outcome != kGoOn) return outcome == kFound;
    }
    offset += got;
  }
}

// The text of the string whose opening quote is at `quote`, and whether
// it is whole: cut by `end`, or holding an escape, it is not.
std::string_view StringAt(const char* quote, const char* end, bool& whole) {
  bool escaped = false;
  const char* q = quote + 1;
  while (q < end && *q != '"') {
    if (*q == '\\') {
      escaped = true;
      ++q;
    }
    ++q;
  }
  whole = q < end && !escaped;
  return {quote + 1, static_cast<std::size_t>(std::min(q, end) - quote - 1)};
}

// Finds the '[' of the top block's "blocks": the value of "blocks" in the
// value of the root object's "top". Keys are recognised as written
// plainly (an escaped or cut key is not), which only costs a split.
class TopBlocksFinder {
 public:
  TopBlocksFinder(std::uint64_t& array, Pds_PahJsonNetsSeen& nets) : m_array(array), m_nets(nets) {}
  void NewBuffer(std::uint64_t) {}
  Outcome Block(const char* p, std::size_t bytes, std::uint64_t at, const char* end);

 private:
  Outcome Event(const char* p, std::uint64_t at, const char* end);

  std::uint64_t& m_array;
  Pds_PahJsonNetsSeen& m_nets;
  Classifier m_classifier;
  std::uint32_t m_depth = 0;  // open containers
  bool m_inTop = false;       // the top's object is open, at depth 2
  bool m_expectKey = false;   // at depth 1, or 2 in the top: a key comes next
  // The key of the value that comes next (depth 1 or 2), if one of those.
  enum Key { kOther, kTop, kBlocks, kNets } m_key = kOther;
  // Inside the root's "nets" (its elements are at depth 2): where it opened.
  std::uint64_t m_netsStart = 0;
  std::uint64_t m_netObjects = 0;
  bool m_inNets = false;
};

Outcome TopBlocksFinder::Block(const char* p, std::size_t bytes, std::uint64_t at,
                               const char* end) {
  const Classifier::Masks masks = m_classifier.Next(p);
  std::uint64_t left = bytes < kBlock ? (std::uint64_t{1} << bytes) - 1 : ~std::uint64_t{0};
  for (;;) {
    // Below depth 2 (inside the device, a net, a value of the top's) only
    // the brackets matter, until the scan is back at depth 2.
    if (m_depth > 2) {
      std::uint32_t below = m_depth - 2;
      const bool back = CountBrackets(masks, below, left);
      m_depth = below + 2;
      if (!back) return kGoOn;
    }
    const std::uint64_t events = masks.events & left;
    if (events == 0) return kGoOn;
    const int i = __builtin_ctzll(events);
    left = i == 63 ? 0 : ~std::uint64_t{0} << (i + 1);
    if (const Outcome outcome = Event(p + i, at + static_cast<std::uint64_t>(i), end);
        outcome != kGoOn) {
      return outcome;
    }
  }
}

Outcome TopBlocksFinder::Event(const char* p, std::uint64_t at, const char* end) {
  const bool keyed = m_depth == 1 || (m_depth == 2 && m_inTop);
  switch (*p) {
    case '{':
    case '[':
      if (m_depth == 0 && *p != '{') return kGiveUp;
      if (keyed && m_depth == 2 && m_key == kBlocks) {
        if (*p != '[') return kGiveUp;
        m_array = at;
        return kFound;
      }
      m_inTop = m_inTop || (m_depth == 1 && *p == '{' && m_key == kTop);
      if (m_depth == 1 && *p == '[' && m_key == kNets) {
        m_inNets = true;
        m_netsStart = at;
        m_netObjects = 0;
      }
      if (m_inNets && m_depth == 2 && *p == '{') ++m_netObjects;
      ++m_depth;
      m_expectKey = *p == '{';
      m_key = kOther;
      return kGoOn;
    case '}':
    case ']':
      if (m_depth == 0) return kGiveUp;
      if (m_inNets && m_depth == 2) {
        m_inNets = false;
        m_nets = {m_netObjects, at + 1 - m_netsStart};
      }
      if (--m_depth < 2 && m_inTop) return kGiveUp;  // the top had no "blocks"
      return m_depth == 0 ? kGiveUp : kGoOn;
    case ',':
      if (keyed) m_expectKey = true;
      m_key = kOther;
      return kGoOn;
    default: {  // an opening quote
      if (!keyed || !m_expectKey) return kGoOn;
      m_expectKey = false;
      bool whole = false;
      const std::string_view key = StringAt(p, end, whole);
      m_key = !whole                          ? kOther
              : key == "top"                  ? kTop
              : key == "blocks"               ? kBlocks
              : key == "nets" && m_depth == 1 ? kNets
                                              : kOther;
      return kGoOn;
    }
  }
}

// Reads the structure of the top's blocks: one step per structural
// character outside strings and per opening quote, but only brackets
// inside pins, signals and whatever else holds no blocks.
class Scanner {
 public:
  Scanner(const Pds_PahJsonSplitScan& scan, Pds_PahJsonSplitPoint& point)
      : m_scan(scan), m_point(point), m_target(scan.target) {
    m_stack.reserve(64);
  }
  void NewBuffer(std::uint64_t fileSize);
  Outcome Block(const char* p, std::size_t bytes, std::uint64_t at, const char* end);

 private:
  Outcome Event(const char* p, std::uint64_t at);
  void String(const char* quote);
  template <std::size_t N>
  bool KeyIs(const char* quote, const char (&key)[N]) const;
  void Push(bool array, std::uint64_t at);
  Outcome Boundary(std::uint64_t at);
  void Arm();
  Outcome Pick(std::size_t level, std::uint64_t at);
  Outcome PickAtWindowEnd();

  const Pds_PahJsonSplitScan& m_scan;
  Pds_PahJsonSplitPoint& m_point;
  std::uint64_t m_target;
  Classifier m_classifier;
  const char* m_end = nullptr;  // of the bytes in memory
  bool m_boundaryNext = false;  // the next event starts an element of blocks
  // How deep the scan is inside containers that hold no blocks (which are
  // not on the stack).
  std::uint32_t m_plainDepth = 0;
  std::vector<Container> m_stack;
  std::vector<std::string> m_names;  // per stack level: a block's name
  // Per stack level: the boundaries between the elements of the array
  // open there, up to the last event.
  std::vector<std::vector<std::uint64_t>> m_boundaries;
  // From the target on: how shallow the stack has been since, and each
  // level's first boundary.
  bool m_armed = false;
  std::size_t m_lowest = 0;
  std::vector<std::uint64_t> m_first;  // per stack level; 0: none yet
};

Outcome Scanner::Block(const char* p, std::size_t bytes, std::uint64_t at, const char* end) {
  m_end = end;
  const Classifier::Masks masks = m_classifier.Next(p);
  std::uint64_t left = bytes < kBlock ? (std::uint64_t{1} << bytes) - 1 : ~std::uint64_t{0};
  for (;;) {
    // Inside a pin, a signal or anything else that holds no blocks, only
    // the brackets are counted, to find its end.
    if (m_plainDepth > 0 && !CountBrackets(masks, m_plainDepth, left)) return kGoOn;
    const std::uint64_t events = masks.events & left;
    if (events == 0) return kGoOn;
    const int i = __builtin_ctzll(events);
    left = i == 63 ? 0 : ~std::uint64_t{0} << (i + 1);
    if (const Outcome outcome = Event(p + i, at + static_cast<std::uint64_t>(i));
        outcome != kGoOn) {
      return outcome;
    }
  }
}

// Moves the target on with the loading thread, until the scan has reached it.
void Scanner::NewBuffer(std::uint64_t fileSize) {
  if (m_armed || m_scan.loading == nullptr) return;
  const std::uint64_t loaded = m_scan.loading->Read().done;
  const std::uint64_t rest = fileSize - std::min(loaded, fileSize);
  const std::uint64_t target = loaded + static_cast<std::uint64_t>(rest * m_scan.share);
  if (target <= m_target) return;
  m_target = target;
  m_scan.movingTarget.store(target, std::memory_order_relaxed);
}

// A structural character outside strings, or an opening quote.
Outcome Scanner::Event(const char* p, std::uint64_t at) {
  if (m_boundaryNext) {
    m_boundaryNext = false;
    if (const Outcome outcome = Boundary(at); outcome != kGoOn) return outcome;
  }
  if (!m_armed && at >= m_target && !m_stack.empty()) Arm();
  if (m_armed && at >= m_target + m_scan.window) {
    if (const Outcome outcome = PickAtWindowEnd(); outcome != kGoOn) return outcome;
  }
  const char c = *p;
  if (c == '{' || c == '[') {
    Push(c == '[', at);
    return kGoOn;
  }
  if (m_stack.empty()) return kGiveUp;
  Container& top = m_stack.back();
  switch (c) {
    case '"':
      if (!top.array) String(p);
      return kGoOn;
    case '}':
    case ']':
      m_stack.pop_back();
      if (m_stack.empty()) return kGiveUp;  // the scanned array ended
      if (m_armed && m_stack.size() < m_lowest) m_lowest = m_stack.size();
      return kGoOn;
    case ',':
      if (top.array) {
        m_boundaryNext = true;
      } else {
        top.expectKey = true;
        top.nameNext = top.blocksNext = false;
      }
      return kGoOn;
  }
  return kGoOn;
}

// In a block: a key, which tells whether the value after it is the block's
// name or its blocks; or a value, the name when it is one. A string cut by
// the buffer's end counts as neither.
void Scanner::String(const char* quote) {
  Container& top = m_stack.back();
  if (top.expectKey) {  // the key's bytes and its closing quote, read in place
    top.expectKey = false;
    top.nameNext = KeyIs(quote, "name\"");
    top.blocksNext = KeyIs(quote, "blocks\"");
    return;
  }
  if (!top.nameNext) return;
  bool whole = false;
  const std::string_view text = StringAt(quote, m_end, whole);
  const std::size_t level = m_stack.size() - 1;
  if (m_names.size() <= level) m_names.resize(level + 1);
  m_names[level].assign(text);
  top.named = true;
  top.nameKnown = whole;
  top.nameNext = false;
}

// Whether the string at `quote` is `key` (its closing quote included),
// whole before the end of the bytes in memory.
template <std::size_t N>
bool Scanner::KeyIs(const char* quote, const char (&key)[N]) const {
  return m_end - quote > static_cast<std::ptrdiff_t>(N - 1) &&
         std::memcmp(quote + 1, key, N - 1) == 0;
}

void Scanner::Push(bool array, std::uint64_t at) {
  // The scanned array first; then a block's "blocks", and their elements.
  bool holdsBlocks = array;
  if (!m_stack.empty()) {
    Container& parent = m_stack.back();
    holdsBlocks = array ? !parent.array && parent.blocksNext : parent.array;
    parent.nameNext = parent.blocksNext = false;
  }
  if (!holdsBlocks) {
    m_plainDepth = 1;
    return;
  }
  // Filled in place: a copy built on the stack would be read back before
  // its parts were stored.
  Container& next = m_stack.emplace_back();
  next.start = at;
  next.array = array;
  next.expectKey = !array;
  if (m_boundaries.size() < m_stack.size()) m_boundaries.resize(m_stack.size());
  m_boundaries[m_stack.size() - 1].clear();
}

void Scanner::Arm() {
  m_armed = true;
  m_lowest = m_stack.size();
  m_first.assign(m_stack.size(), 0);
}

Outcome Scanner::Boundary(std::uint64_t at) {
  const std::size_t level = m_stack.size() - 1;
  m_boundaries[level].push_back(at);
  if (!m_armed) return kGoOn;
  if (level >= m_lowest) return kGoOn;  // opened after the target
  if (m_first[level] == 0) m_first[level] = at;
  // The shallowest level still open takes the first boundary it gets.
  for (std::size_t k = 0; k < level; ++k) {
    if (m_stack[k].array) return kGoOn;
  }
  return Pick(level, at);
}

Outcome Scanner::PickAtWindowEnd() {
  for (std::size_t k = 0; k < m_lowest && k < m_first.size(); ++k) {
    if (m_stack[k].array && m_first[k] != 0) return Pick(k, m_first[k]);
  }
  return kGoOn;  // no boundary yet: the first one to come is taken
}

Outcome Scanner::Pick(std::size_t level, std::uint64_t at) {
  m_point.array = m_stack[level].start;
  m_point.at = at;
  m_point.depth = 1;  // the top's children
  m_point.owners.clear();
  m_point.earlier = std::move(m_boundaries[level]);
  while (!m_point.earlier.empty() && m_point.earlier.back() >= at)
    m_point.earlier.pop_back();
  for (std::size_t k = 1; k <= level; ++k) {
    const Container& c = m_stack[k];
    if (!c.array) {
      if (!c.nameKnown) return kGiveUp;
      m_point.owners.push_back(c.named ? m_names[k] : std::string());
    }
    if (c.array) ++m_point.depth;
  }
  return kFound;
}

bool FindTopBlocks(const std::string& fileName, bool (*stop)(), std::uint64_t& array,
                   Pds_PahJsonNetsSeen* nets) {
  Pds_PahJsonNetsSeen seen;
  TopBlocksFinder finder(array, seen);
  const bool found = ScanFile(fileName, 0, stop, finder);
  if (nets != nullptr) *nets = seen;
  return found;
}

bool FindSplit(const Pds_PahJsonSplitScan& scan, Pds_PahJsonSplitPoint& point) {
  Scanner scanner(scan, point);
  return ScanFile(scan.fileName, scan.array, scan.stop, scanner);
}

}  // namespace

// The AVX2 build's entry points, which the other build's call.
#if PDS_PAH_JSON_SPLIT_AVX2

bool Pds_PahJsonFindTopBlocksAvx2(const std::string& fileName, bool (*stop)(), std::uint64_t& array,
                                  Pds_PahJsonNetsSeen* nets) {
  return FindTopBlocks(fileName, stop, array, nets);
}

bool Pds_PahJsonFindSplitAvx2(const Pds_PahJsonSplitScan& scan, Pds_PahJsonSplitPoint& point) {
  return FindSplit(scan, point);
}

#else

bool Pds_PahJsonFindTopBlocksAvx2(const std::string& fileName, bool (*stop)(), std::uint64_t& array,
                                  Pds_PahJsonNetsSeen* nets);
bool Pds_PahJsonFindSplitAvx2(const Pds_PahJsonSplitScan& scan, Pds_PahJsonSplitPoint& point);

bool Pds_PahJsonScanHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                          __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("bmi");
  return has;
}

namespace {
bool UseAvx2(Pds_PahJsonScanBuild build) {
  return build != Pds_PahJsonScanBuild::kAny && Pds_PahJsonScanHasAvx2();
}
}  // namespace

bool Pds_PahJsonFindTopBlocks(const std::string& fileName, bool (*stop)(), std::uint64_t& array,
                              Pds_PahJsonNetsSeen* nets, Pds_PahJsonScanBuild build) {
  if (build == Pds_PahJsonScanBuild::kAvx2 && !Pds_PahJsonScanHasAvx2()) return false;
  return UseAvx2(build) ? Pds_PahJsonFindTopBlocksAvx2(fileName, stop, array, nets)
                        : FindTopBlocks(fileName, stop, array, nets);
}

bool Pds_PahJsonFindSplit(const Pds_PahJsonSplitScan& scan, Pds_PahJsonSplitPoint& point,
                          Pds_PahJsonScanBuild build) {
  if (build == Pds_PahJsonScanBuild::kAvx2 && !Pds_PahJsonScanHasAvx2()) return false;
  return UseAvx2(build) ? Pds_PahJsonFindSplitAvx2(scan, point) : FindSplit(scan, point);
}

void Pds_PahJsonAimSplit(Pds_PahJsonSplitScan& scan, std::uint64_t array, std::uint64_t size,
                         const Pds_PahLoadProgress::Entry* loading, double share) {
  const std::uint64_t rest = size - array;
  const auto shareOfRest = static_cast<std::uint64_t>(rest * share);
  scan.array = array;
  scan.share = share;
  scan.target =
      array + (loading != nullptr ? std::min(rest / 4, shareOfRest) : shareOfRest + rest / 100);
  scan.window = rest / 8;
  scan.loading = loading;
  scan.movingTarget.store(scan.target, std::memory_order_relaxed);
}

#endif
