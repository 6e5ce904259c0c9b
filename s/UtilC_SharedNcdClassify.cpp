// Block classification: the bel type code and the subtype shown for a block.
//
// A bel's type name is matched against an ordered table; the first row
// that matches gives the code and the subtype. Matching is exact and
// case-sensitive. Callers may rely on the codes staying as listed: Tcl
// scripts and saved reports compare them.
#include <cstdint>
#include <cstring>

#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcd.h"

namespace UtilC::SharedNcd {

namespace {

constexpr std::uint32_t kNoCode = 0xFFFFFFFFu;

enum class Match { Prefix, Suffix, Contains, PrefixAndSuffix };

struct BelRow {
  Match kind;
  const char* pattern;
  const char* suffix;  // the second pattern of PrefixAndSuffix
  std::uint32_t code;
  const char* subtype;
};

// Order matters: "SLICEL_AFF" is a flip-flop, "GND_VCC" ground, "RAMB36_PAD" a pad.
constexpr BelRow kBelRows[] = {
    {Match::Suffix, "LUT", nullptr, 12, "LUT"},
    {Match::PrefixAndSuffix, "SLICE", "FF", 13, "FF"},
    {Match::Suffix, "_PAD", nullptr, 14, "PAD"},
    {Match::Prefix, "RAMB", nullptr, 15, "RAMB"},
    {Match::Prefix, "DSP48", nullptr, 16, "DSP48"},
    {Match::Contains, "BUFG", nullptr, 17, "BUFG"},
    {Match::Prefix, "GT", nullptr, 18, "GT"},
    {Match::Prefix, "DCM", nullptr, 19, "DCM"},
    {Match::Prefix, "PLL", nullptr, 20, "PLL"},
    {Match::Prefix, "BUFR", nullptr, 21, "BUFR"},
    {Match::PrefixAndSuffix, "IOB", "BUF", 22, "BUF"},
    {Match::Contains, "CARRY", nullptr, 32, "CARRY"},
    {Match::Contains, "GND", nullptr, 34, "GND"},
    {Match::Contains, "VCC", nullptr, 33, "VCC"},
    {Match::Prefix, "IODELAY", nullptr, 23, "IODELAY"},
    {Match::Prefix, "ICAP", nullptr, 27, "ICAP"},
    {Match::Prefix, "EMAC", nullptr, 28, "EMAC"},
    {Match::Contains, "SERDES", nullptr, 24, "SERDES"},
    {Match::Prefix, "BSCAN", nullptr, 25, "BSCAN"},
    {Match::Prefix, "STARTUP", nullptr, 26, "STARTUP"},
    {Match::Prefix, "CAPTURE", nullptr, 29, "CAPTURE"},
    {Match::Prefix, "USR_ACCESS", nullptr, 30, "USRACCESS"},
    {Match::Prefix, "BUFDS", nullptr, 31, "BUFDS"},
};

bool HasPrefix(const char* name, const char* prefix) {
  return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

bool HasSuffix(const char* name, const char* suffix) {
  const std::size_t length = std::strlen(name);
  const std::size_t suffixLength = std::strlen(suffix);
  return length >= suffixLength && std::strcmp(name + length - suffixLength, suffix) == 0;
}

bool Matches(const BelRow& row, const char* name) {
  switch (row.kind) {
    case Match::Prefix:
      return HasPrefix(name, row.pattern);
    case Match::Suffix:
      return HasSuffix(name, row.pattern);
    case Match::Contains:
      return Port::strstr(name, row.pattern) != nullptr;
    case Match::PrefixAndSuffix:
      return HasPrefix(name, row.pattern) && HasSuffix(name, row.suffix);
  }
  return false;
}

const char* TypeName(const Pds_PdmBlock* block) {
  const Pds_PdlBlock* type = block ? block->GetTypeBlock() : nullptr;
  return type ? type->GetTypeName() : nullptr;
}

const char* SubtypeOf(std::uint32_t code) {
  for (const BelRow& row : kBelRows) {
    if (row.code == code) return row.subtype;
  }
  return nullptr;
}

}  // namespace

std::uint32_t SharedNcd::GetBelTypeCode(const Pds_PdmBlock* block) {
  const char* name = TypeName(block);
  if (name == nullptr) return kNoCode;
  for (const BelRow& row : kBelRows) {
    if (Matches(row, name)) return row.code;
  }
  return kNoCode;
}

// A bel of a known kind shows its kind; any other block its type name.
Port::StringBase SharedNcd::GetBlockSubtype(const Pds_PdmBlock* block) {
  if (block == nullptr) return {};
  if (block->IsBel()) {
    if (const char* subtype = SubtypeOf(GetBelTypeCode(block))) return subtype;
  }
  return Port::StringBase(TypeName(block));
}

// The Tcl layer's further type codes; this component defines none, so they
// always answer "no code".
std::uint32_t SharedNcd::GetTypeCode1(const Pds_PdmBlock*) {
  return kNoCode;
}
std::uint32_t SharedNcd::GetTypeCode2(const Pds_PdmBlock*) {
  return kNoCode;
}
std::uint32_t SharedNcd::GetTypeCode3(const Pds_PdmBlock*) {
  return kNoCode;
}

}  // namespace UtilC::SharedNcd
