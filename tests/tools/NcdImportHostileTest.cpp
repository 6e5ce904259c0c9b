// The importer on hostile and careless inputs: every netlist, SDF and PCF
// either imports to a design the loader reads, or is refused with a message
// that names the file and the object or position; nothing crashes, hangs
// or writes what the format forbids.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "NcdImport.h"
#include "NcdImportTestInput.h"
#include "NcdImport_Input.h"

namespace {

using namespace ncdimport_test;

std::string Repeat(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i)
    out += text;
  return out;
}

// What the importer quotes of a long name: its first 64 characters.
std::string Cut(const std::string& name) {
  return "'" + name.substr(0, 64) + "...'";
}

std::string OneCell(const std::string& cell) {
  return R"({"modules": {"top": {"cells": {)" + cell + "}}}}";
}

const std::string kLc = Netlist({}, {Lc("c", "X1/Y1/lc0", false, false)}, {});

std::string Delay(const std::string& timescale, const std::string& value) {
  return "(DELAYFILE (TIMESCALE " + timescale +
         ")\n (CELL (INSTANCE) (DELAY (ABSOLUTE (INTERCONNECT a/O c/I0 (" + value + "))))))";
}

class Hostile : public ::testing::Test {
 protected:
  struct Case {
    std::string netlist, pcf, sdf;
    std::string refusal;  // "" for an input that imports
    bool gzip = false;    // the netlist compressed
  };

  // "" when the inputs import (and the design written then loads), else
  // the refusal without the folder's name.
  std::string Try(const Case& c, NcdImport::Notes& notes, std::string* written = nullptr,
                  std::uint64_t limit = NcdImport::kInputLimit) {
    NcdImport::Inputs in;
    in.netlist =
        c.gzip ? Gzip("design.pnr.json", c.netlist) : m_dir.Write("design.pnr.json", c.netlist);
    if (!c.pcf.empty()) in.pcf = m_dir.Write("design.pcf", c.pcf);
    if (!c.sdf.empty()) in.sdf = m_dir.Write("design.sdf", c.sdf);
    in.limit = limit;
    return TryInputs(in, notes, written);
  }
  std::string TryInputs(const NcdImport::Inputs& in, NcdImport::Notes& notes,
                        std::string* written = nullptr) {
    try {
      const NcdImport::Design design = NcdImport::Import(in, notes);
      std::string refusal;
      const std::string text = WriteAndLoad(design, m_dir, refusal);
      if (written) *written = text;
      return refusal.empty() ? "" : "the loader refuses the import: " + refusal;
    } catch (const NcdImport::Error& e) {
      const std::string message = e.what();
      const std::string folder = m_dir.path().string() + "/";
      return message.rfind(folder, 0) == 0 ? message.substr(folder.size()) : message;
    }
  }
  std::string Gzip(const std::string& name, const std::string& text) const {
    const std::string path = (m_dir.path() / name).string();
    gzFile out = gzopen(path.c_str(), "wb9");
    gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
    gzclose(out);
    return path;
  }

  ncdtest::TempDir m_dir;
};

TEST_F(Hostile, EachInputImportsToALoadableDesignOrIsRefused) {
  const std::string deep = Repeat("a.", 50000) + "x";
  const std::string tooDeep = Repeat("m.", 255) + "c", deepest = Repeat("m.", 254) + "c";
  auto lcAt = [](const std::string& name, const std::string& bel, const std::string& arch) {
    return Netlist({}, {Lc(name, bel, true, false)}, {}, arch);
  };
  const std::string outside =
      "lies outside the largest grid of a device without a built-in grid (1024 tiles a side)";
  const Case cases[] = {
      // Syntax and structure, with the position or the object.
      {"{\"creator\": \"x\",\n  \"modules\": {} \"y\": 1}", "", "",
       "design.pnr.json:2:17: missing a comma or '}' after an object member"},
      {"", "", "", "design.pnr.json:1:1: the document is empty"},
      {OneCell(R"("c": {"parameters": {}})"), "", "", "design.pnr.json: cell 'c': missing 'type'"},
      {R"({"modules": {"a": {}, "b": {}}})", "", "",
       "design.pnr.json: modules: no top module (none is marked \"top\")"},
      {R"({"modules": {"top": {"ports": {"p": {"direction": "sideways", "bits": [2]}}}}})", "", "",
       "design.pnr.json: port 'p': direction must be input, output or inout (got 'sideways')"},
      {R"({"modules": {"top": {"netnames": {"n": {"bits": [2, "q"]}}}}})", "", "",
       "design.pnr.json: net 'n': a bit must be a net number or one of \"0\", \"1\", \"x\", \"z\""},
      // Depth: the JSON, plain and compressed, and the instance paths.
      {Repeat("[", 150000), "", "", "design.pnr.json:1:257: JSON nested deeper than 256 levels"},
      {Repeat("[", 150000), "", "", "design.pnr.json:1:257: JSON nested deeper than 256 levels",
       true},
      {lcAt(deep, "", "hx1k"), "", "",
       "design.pnr.json: cell " + Cut(deep) + ": blocks nested deeper than 256 levels"},
      {lcAt(tooDeep, "", "hx1k"), "", "",
       "design.pnr.json: cell " + Cut(tooDeep) + ": blocks nested deeper than 256 levels"},
      {lcAt(deepest, "", "hx1k"), "", "", ""},
      // Bels of a device without a built-in grid.
      {lcAt("c", "X30000/Y30000/lc0", "xx9k"), "", "",
       "design.pnr.json: cell 'c': bel 'X30000/Y30000/lc0' " + outside},
      {lcAt("c", "X100000/Y100000/lc0", "xx9k"), "", "",
       "design.pnr.json: cell 'c': bel 'X100000/Y100000/lc0' " + outside},
      {lcAt("c", "X2147483647/Y0/lc0", "xx9k"), "", "",
       "design.pnr.json: cell 'c': bel 'X2147483647/Y0/lc0' " + outside},
      {lcAt("c", "X1023/Y1023/lc0", "xx9k"), "", "", ""},
      // Names the format forbids.
      {lcAt("", "", "hx1k"), "", "", "design.pnr.json: cell '': a name must not be empty"},
      {R"({"modules": {"top": {"attributes": {"top": "1", "hdlname": "ch/ip"}}}})", "", "", ""},
      {R"({"modules": {"top": {"attributes": {"top": "1", "hdlname": "\\"}}}})", "", "", ""},
      {OneCell(R"("c": {"type": "SB_GB", "parameters": {"X": "1", "X": "2"}})"), "", "",
       "design.pnr.json: cell 'c': parameter 'X' given twice"},
      {OneCell(R"("c": {"type": "SB_GB", "parameters": {"": "1"}})"), "", "",
       "design.pnr.json: cell 'c': parameter '' has an empty name"},
      {OneCell(R"("c": {"type": ""})"), "", "",
       "design.pnr.json: cell 'c': 'type' must not be empty"},
      {OneCell("\"c\xff\": {\"type\": \"SB_GB\"}"), "", "",
       "design.pnr.json:1:34: invalid encoding in string"},
      {OneCell(R"("c": {"type": "SB_GB", "parameters": {"X": "a\u0000b"}})"), "", "",
       "design.pnr.json:1:85: a string must not contain the NUL character (\\u0000)"},
      {OneCell(R"("a\u0000b": {"type": "SB_GB"})"), "", "",
       "design.pnr.json:1:42: a string must not contain the NUL character (\\u0000)"},
      {OneCell(R"("\udc00": {"type": "SB_GB"})"), "", "",
       "design.pnr.json:1:40: the surrogate pair in string is invalid"},
      {R"({"modules": {"top": {"ports": {"p": {"direction": "input", "bits": [2]}, "p": {"direction": "input", "bits": [3]}}}}})",
       "", "", "design.pnr.json: module 'top': port 'p' given twice"},
      {Netlist({{"a", "input", {2, 3}}, {"a[1]", "input", {4}}}, {}, {}), "", "",
       "design.pnr.json: cannot import: duplicate pin name 'a[1]' in the top block"},
      {R"({"modules": {"top": {"netnames": {"n": {"bits": [2, 3], "offset": 9223372036854775807}}}}})",
       "", "",
       "design.pnr.json: net 'n': 'offset' 9223372036854775807 leaves no number for its last bit"},
      {R"({"modules": {"top": {"ports": {"p": {"direction": "input", "bits": [2, 3, 4], "offset": 9223372036854775806}}}}})",
       "", "",
       "design.pnr.json: port 'p': 'offset' 9223372036854775806 leaves no number for its last bit"},
      // PCF.
      {kLc, "set_io a 1\nset_io b \xff\n", "", "design.pcf:2:10: the text is not UTF-8"},
      {kLc, std::string("set_io a 1\nset_io b 2\0", 22), "",
       "design.pcf:2:11: the NUL character (\\u0000) has no place in the text"},
      {kLc, "set_io a 1\n# again\nset_io a 2\n", "",
       "design.pcf:3: port 'a' is already constrained on line 1"},
      {kLc, "set_io a\n", "", "design.pcf:1: set_io wants a port and a pin"},
      // SDF numbers.
      {kLc, "",
       "(DELAYFILE\n  (CELL (INSTANCE x) (DELAY (ABSOLUTE (INTERCONNECT a/O b/I (1:2:x))))))",
       "design.sdf:2:62: bad delay value '1:2:x'"},
      {kLc, "", Delay("1ps", "1e308"),
       "design.sdf:2:60: delay value '1e308' is out of range (at most 2147483647 ps either way)"},
      {kLc, "", Delay("1ps", "-3e9"),
       "design.sdf:2:60: delay value '-3e9' is out of range (at most 2147483647 ps either way)"},
      {kLc, "", Delay("100 s", "1"),
       "design.sdf:2:60: delay value '1' is out of range (at most 2147483647 ps either way)"},
      {kLc, "", Delay("1ps", "inf"), "design.sdf:2:60: bad delay value 'inf'"},
      {kLc, "", Delay("1ps", "nan"), "design.sdf:2:60: bad delay value 'nan'"},
      {kLc, "", Delay("1ps", "0x10"), "design.sdf:2:60: bad delay value '0x10'"},
      {kLc, "", Delay("1e300 s", "1"), "design.sdf:1:23: unknown time scale '1e300s'"},
      {kLc, "", Delay("1.0 ns", ".5:1.:2e-1"), ""},
      // A file that ends inside a list.
      {kLc, "", "(DELAYFILE\n (CELL (INSTANCE) (DELAY (ABSOLUTE (INTERCONNECT a/O c/I0 (1:2:3)",
       "design.sdf:2:66: unexpected end of file"},
      {kLc, "", "(DELAYFILE\n (SDFVERSION \"3.0\")\n", "design.sdf:3:1: unexpected end of file"},
      {kLc, "", "(DELAYFILE (TIMESCALE 1", "design.sdf:1:24: unexpected end of file"},
  };
  for (const Case& c : cases) {
    NcdImport::Notes notes;
    EXPECT_EQ(Try(c, notes), c.refusal) << c.netlist.substr(0, 80) << c.pcf << c.sdf;
  }
}

// Keys and values with quotes, backslashes, control characters and the
// names of the block's own keys stay inside the block's gcd.
TEST_F(Hostile, NamesRoundTripEscapedOrMapped) {
  const std::map<std::string, std::string> hostile = {{"a\"b", "\\"},
                                                      {"\\", "\""},
                                                      {"x\x01\x1f", "\x1b[31m"},
                                                      {"netlist_security", "1"},
                                                      {"partition", "true"},
                                                      {"modes\":{\"EQN\":\"1\"},\"y", "z"}};
  CellDesc cell{"u.a/b", "SB_GB", "X0/Y8/gb", {}, {}, {}, {}, {}};
  for (const auto& [k, v] : hostile) {
    auto json = [](const std::string& s) {
      std::string out;
      for (char ch : s) {
        if (ch == '"' || ch == '\\') out += '\\';
        if (static_cast<unsigned char>(ch) < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\u%04x", ch);
          out += hex;
        } else {
          out += ch;
        }
      }
      return out;
    };
    cell.params[json(k)] = json(v);
  }
  NcdImport::Notes notes;
  std::string written;
  ASSERT_EQ(Try({Netlist({}, {cell}, {}), "", "", ""}, notes, &written), "");
  rapidjson::Document doc;
  doc.Parse(written.data(), written.size());
  ASSERT_FALSE(doc.HasParseError());
  const rapidjson::Value& module = doc["top"]["blocks"][0];
  EXPECT_EQ(std::string(module["name"].GetString()), "u");
  const rapidjson::Value& comp = module["blocks"][0];
  EXPECT_EQ(std::string(comp["name"].GetString()), "a|b");
  EXPECT_EQ(notes.Find("block name with '/' (each written as '|')")->count, 1u);
  std::map<std::string, std::string> gcd;
  for (const auto& m : comp["gcd"].GetObject())
    gcd[{m.name.GetString(), m.name.GetStringLength()}] = {m.value.GetString(),
                                                           m.value.GetStringLength()};
  EXPECT_EQ(gcd, hostile);
  EXPECT_FALSE(comp.HasMember("netlist_security"));
  EXPECT_FALSE(comp.HasMember("partition"));
}

// An unknown device's cells are the bels used and their tiles, however far
// apart; its clock regions are the grid's quadrants.
TEST_F(Hostile, UnknownDevicesGetTheBelsPresent) {
  std::string written;
  NcdImport::Notes notes;
  const Case c{
      Netlist({}, {Lc("a", "X1023/Y1023/lc0", false, false), Lc("b", "X0/Y0/lc1", false, false)},
              {}, "xx9k"),
      "", "", ""};
  ASSERT_EQ(Try(c, notes, &written), "");
  rapidjson::Document doc;
  doc.Parse(written.data(), written.size());
  EXPECT_EQ(doc["device"]["cells"].Size(), 4u);
  EXPECT_EQ(doc["device"]["clock_regions"].Size(), 4u);
}

TEST_F(Hostile, OnlyRegularFilesOfBoundedSizeAreRead) {
  ::mkfifo((m_dir.path() / "fifo").c_str(), 0644);
  const std::pair<std::string, std::string> files[] = {
      {"/dev/zero", "/dev/zero: cannot read: not a regular file"},
      {(m_dir.path() / "fifo").string(), "fifo: cannot read: not a regular file"},
      {m_dir.path().string(), m_dir.path().string() + ": cannot read: Is a directory"},
      {(m_dir.path() / "none").string(), "none: cannot read: No such file or directory"}};
  for (const auto& [path, refusal] : files) {
    NcdImport::Inputs in;
    in.netlist = path;
    NcdImport::Notes notes;
    EXPECT_EQ(TryInputs(in, notes), refusal);
    in.netlist = m_dir.Write("ok.json", kLc);
    in.sdf = path;
    EXPECT_EQ(TryInputs(in, notes), refusal);
  }
  // A small compressed file that inflates beyond the limit.
  NcdImport::Notes notes;
  EXPECT_EQ(Try({kLc + std::string(4000, ' '), "", "", "", true}, notes, nullptr, 4096),
            "design.pnr.json: larger than 4096 bytes (decompressed), the most an input may hold");
  EXPECT_EQ(Try({kLc, "", "", "", true}, notes, nullptr, 4096), "");
  // Compressed inputs cut short or damaged are refused, not read as far as
  // they go; the cause names no descriptor of zlib's.
  std::string pcf;
  for (int i = 0; i < 200; ++i)
    pcf += "set_io p" + std::to_string(i) + " " + std::to_string(i * 7) + "\n";
  const struct {
    std::string name;
    bool cut;  // else the checksum is wrong
    std::string refusal;
  } damaged[] = {
      {"design.pnr.json", true, "design.pnr.json: cannot read: the compressed data is cut short"},
      {"design.pcf", true, "design.pcf: cannot read: the compressed data is cut short"},
      {"design.pcf", false,
       "design.pcf: cannot read: corrupt compressed data: incorrect data check"},
  };
  for (const auto& d : damaged) {
    const std::string path = Gzip(d.name, d.name == "design.pcf" ? pcf : kLc);
    const auto size = std::filesystem::file_size(path);
    if (d.cut) {
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size / 2)), 0);
    } else {
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      const auto crc = static_cast<std::streamoff>(size - 8);  // the trailer's CRC-32
      file.seekg(crc);
      const char byte = static_cast<char>(file.get());
      file.seekp(crc);
      file.put(static_cast<char>(byte ^ 0x5a));
    }
    NcdImport::Inputs in;
    in.netlist = d.name == "design.pcf" ? m_dir.Write("ok.json", kLc) : path;
    if (d.name == "design.pcf") in.pcf = path;
    EXPECT_EQ(TryInputs(in, notes), d.refusal);
  }
}

// A constraint per port on many ports: each found once (the check for
// ports constrained twice is linear).
TEST_F(Hostile, LargePcfFilesAreReadInLinearTime) {
  std::string pcf;
  for (int i = 0; i < 100000; ++i)
    pcf += "set_io p" + std::to_string(i) + " " + std::to_string(i) + "\n";
  NcdImport::Notes notes;
  EXPECT_EQ(Try({kLc, pcf, "", ""}, notes), "");
  EXPECT_EQ(notes.Find("PCF constraint on a port the design lacks")->count, 100000u);
}

}  // namespace
