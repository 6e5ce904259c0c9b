// Every kind of bad design file is refused with its position and cause,
// and leaves nothing behind.
//
// In each case the text holds one '`' where the error must point; the
// test removes it and expects "<file>:<line>:<column>: <cause>".
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DesignTestSupport.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PdmBlock.h"
#include "Tw_DlyMed.h"
#include "Xdm_ViewStore.h"

namespace {

using namespace design_test;

struct Case {
  const char* what;
  std::string text;
  std::string cause;
};

const std::string kHead = R"({"format": "ncd-json", "version": 1, "part": "p", )";
const std::string kTop = R"("top": {"name": "t", "level": 0})";

// A design whose top block has `inside` after its name and level.
std::string TopWith(const std::string& inside) {
  return kHead + R"("top": {"name": "t", "level": 0, )" + inside + "}}";
}

class LoaderErrors : public ::testing::Test {
 protected:
  // The position of the marker, and the text without it.
  static std::string Where(std::string& text) {
    const std::size_t at = text.find('`');
    EXPECT_NE(at, std::string::npos) << text;
    text.erase(at, 1);
    int line = 1, column = 1;
    for (std::size_t i = 0; i < at; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    return std::to_string(line) + ":" + std::to_string(column);
  }

  void Expect(const std::vector<Case>& cases) {
    for (Case c : cases) {
      SCOPED_TRACE(c.what);
      const std::string where = Where(c.text);
      const std::string path = m_dir.Write("case.ncd.json", c.text);
      EXPECT_EQ(Refusal(path), path + ":" + where + ": " + c.cause);
    }
  }

  TempDir m_dir;
};

TEST_F(LoaderErrors, FilesThatCannotBeRead) {
  const std::string missing = m_dir.Path("missing.ncd.json");
  EXPECT_EQ(Refusal(missing), missing + ": cannot open design file: No such file or directory");
  const std::string folder = m_dir.Path("folder");
  std::filesystem::create_directories(folder);
  EXPECT_EQ(Refusal(folder), folder + ": cannot open design file: Is a directory");
  Expect({{"empty", "`", "the file is empty"},
          {"not an object", "`[1, 2]", "a design file must be an object"}});
}

TEST_F(LoaderErrors, MalformedJson) {
  Expect({
      {"missing comma", R"({"format": "ncd-json" `"version": 1})",
       "missing a comma or '}' after an object member"},
      {"missing colon", R"({"format" `"ncd-json"})",
       "missing a colon after a name of object member"},
      {"trailing comma", "{\"format\": \"ncd-json\",\n  `}", "missing a name for object member"},
      {"array comma", kHead + R"("nets": [{"name": "a"} `{"name": "b"}]})",
       "missing a comma or ']' after an array element"},
      {"bad literal", kHead + R"("shapes": [{"name": "s", "user": tru`}]})", "invalid value"},
      {"bad escape", R"({"format": "ncd`\q"})", "invalid escape character in string"},
      {"truncated", "{\"format\": \"ncd-json\",\n`", "unexpected end of file"},
      {"truncated string", R"({"format": "ncd-js`)", "unexpected end of file"},
      {"trailing value", kHead + kTop + "}\n  `x",
       "the document root must not be followed by other values"},
      {"NUL byte", std::string("{\"format\": \"ncd-json\",`") + '\0' + "}", "unexpected NUL byte"},
  });
}

TEST_F(LoaderErrors, FormatVersionAndRequiredKeys) {
  Expect({
      {"format", R"({"format": `"xdl"})",
       "unsupported format 'xdl' (this reader knows 'ncd-json')"},
      {"version", R"({"format": "ncd-json", "version": `2})",
       "unsupported version 2 (this reader knows 1)"},
      {"version type", R"({"format": "ncd-json", "version": `"1"})",
       "'version' must be an integer"},
      {"no part", "`" + std::string(R"({"format": "ncd-json", "version": 1, )") + kTop + "}",
       "missing required key 'part' in the design file"},
      {"no top", "`" + kHead + R"("nets": []})", "missing required key 'top' in the design file"},
      {"no pin name", TopWith(R"("pins": [`{"dir": "input"}])"),
       "missing required key 'name' in pin"},
      {"no cell type", kHead + R"("device": {"cells": [`{"name": "C"}]}, )" + kTop + "}",
       "missing required key 'type' in cell"},
      {"unknown top-level key", kHead + R"(`"nett": []})", "unknown key 'nett' in the design file"},
      {"unknown pin key", TopWith(R"("pins": [{"name": "a", `"sig": "x"}])"),
       "unknown key 'sig' in pin"},
      {"duplicate key", kHead + R"("top": {"name": "t", "level": 0, `"level": 0}})",
       "duplicate key 'level' in block"},
  });
}

TEST_F(LoaderErrors, WrongTypesRangesAndChoices) {
  Expect({
      {"level string", kHead + R"("top": {"name": "t", "level": `"0"}})",
       "'level' must be an integer"},
      {"level fraction", kHead + R"("top": {"name": "t", "level": `0.5}})",
       "'level' must be an integer"},
      {"pad number", TopWith(R"("pins": [{"name": "a", "pad": `1}])"),
       "'pad' must be true or false"},
      {"pins object", TopWith(R"("pins": `{})"), "'pins' must be an array"},
      {"block not object", TopWith(R"("blocks": [`"b"])"),
       "each element of 'blocks' must be an object"},
      {"name number", kHead + R"("top": {"name": `7, "level": 0}})", "'name' must be a string"},
      {"empty name", kHead + R"("top": {"name": `"", "level": 0}})", "'name' must not be empty"},
      {"level range", TopWith(R"("blocks": [{"name": "b", "level": `300}])"),
       "'level' is out of range (0..255)"},
      {"delay_type range", TopWith(R"("pins": [{"name": "a", "delay_type": `3}])"),
       "'delay_type' is out of range (0..2)"},
      {"delay range", kHead + R"("nets": [{"name": "n", "delay": `3000000000}], )" + kTop + "}",
       "'delay' is out of range (-2147483648..2147483647)"},
      {"direction", TopWith(R"("pins": [{"name": "a", "dir": `"in"}])"),
       "'dir' must be one of input, output, bidir, none (got 'in')"},
      {"net type", kHead + R"("nets": [{"name": "n", "type": `"vcc"}], )" + kTop + "}",
       "'type' must be one of logic, power, ground (got 'vcc')"},
      {"route", kHead + R"("nets": [{"name": "n", "route": `"some"}], )" + kTop + "}",
       "'route' must be one of full, partial, unrouted (got 'some')"},
      {"reject", TopWith(R"("io": {"reject": `"maybe"})"),
       "'reject' must be one of invalid_type, corrupt_database, other (got 'maybe')"},
      {"fault", kHead + kTop + R"(, "faults": {"throw": `"all"}})",
       "'throw' must be one of pds, xcad, xdm, other (got 'all')"},
  });
}

TEST_F(LoaderErrors, DuplicateNames) {
  Expect({
      {"sibling blocks",
       TopWith(R"("blocks": [{"name": "b", "level": 3}, {"name": `"b", "level": 3}])"),
       "duplicate block name 'b' in block 't'"},
      {"pins", TopWith(R"("pins": [{"name": "p"}, {"name": `"p"}])"),
       "duplicate pin name 'p' in block 't'"},
      {"signals",
       TopWith(
           R"("blocks": [{"name": "b", "level": 3, "signals": [{"name": "s"}, {"name": `"s"}]}])"),
       "duplicate signal name 's' in block 'b'"},
      {"nets", kHead + R"("nets": [{"name": "n"}, {"name": `"n"}], )" + kTop + "}",
       "duplicate net name 'n'"},
      {"cells",
       kHead +
           R"("device": {"cell_types": [{"name": "T"}], "cells": [{"name": "C", "type": "T"}, {"name": `"C", "type": "T"}]}, )" +
           kTop + "}",
       "duplicate cell name 'C'"},
      {"cell types",
       kHead + R"("device": {"cell_types": [{"name": "T"}, {"name": `"T"}]}, )" + kTop + "}",
       "duplicate cell type name 'T'"},
      {"mode definitions",
       kHead +
           R"("device": {"cell_types": [{"name": "T", "modes": [{"name": "M"}, {"name": `"M"}]}]}, )" +
           kTop + "}",
       "duplicate mode name 'M' in cell type 'T'"},
      {"clock regions", kHead + R"("device": {"clock_regions": ["R", `"R"]}, )" + kTop + "}",
       "duplicate clock region name 'R'"},
      {"shapes", kHead + kTop + R"(, "shapes": [{"name": "s"}, {"name": `"s"}]})",
       "duplicate shape name 's'"},
      {"gcd names", TopWith(R"("gcd": {"A": "1", `"A": "2"})"), "duplicate name 'A' in 'gcd'"},
  });
}

TEST_F(LoaderErrors, UnknownReferences) {
  const std::string device =
      R"("device": {"clock_regions": ["R"], "cell_types": [{"name": "T"}], "cells": [{"name": "C", "type": "T"}]}, )";
  Expect({
      {"pin signal",
       TopWith(
           R"("signals": [{"name": "s"}], "blocks": [{"name": "b", "level": 3, "pins": [{"name": "p", "signal": `"x"}]}])"),
       "unknown signal 'x' in block 't'"},
      {"pin signal before the signals",
       TopWith(
           R"("blocks": [{"name": "b", "level": 3, "pins": [{"name": "p", "signal": `"x"}]}], "signals": [{"name": "s"}])"),
       "unknown signal 'x' in block 't'"},
      {"child signal",
       TopWith(
           R"("blocks": [{"name": "b", "level": 3, "pins": [{"name": "p", "child_signal": `"x"}]}])"),
       "unknown signal 'x' in block 'b'"},
      {"net",
       kHead + R"("nets": [{"name": "n"}], )" +
           std::string(
               R"("top": {"name": "t", "level": 0, "signals": [{"name": "s", "net": `"m"}]}})"),
       "unknown net 'm'"},
      {"net without nets", TopWith(R"("signals": [{"name": "s", "net": `"m"}])"),
       "unknown net 'm'"},
      {"cell", kHead + device + R"("top": {"name": "t", "level": 0, "site": `"D"}})",
       "unknown cell 'D'"},
      {"cell before the device",
       kHead + R"("top": {"name": "t", "level": 0, "site": `"D"}, )" +
           device.substr(0, device.size() - 2) + "}",
       "unknown cell 'D'"},
      {"cell type", kHead + R"("device": {"cells": [{"name": "C", "type": `"U"}]}, )" + kTop + "}",
       "unknown cell type 'U'"},
      {"clock region",
       kHead +
           R"("device": {"cell_types": [{"name": "T"}], "cells": [{"name": "C", "type": "T", "clock_region": `"Q"}]}, )" +
           kTop + "}",
       "unknown clock region 'Q'"},
      {"shape path",
       kHead +
           R"("top": {"name": "t", "level": 0, "blocks": [{"name": "b", "level": 3}]}, "shapes": [{"name": "s", "members": ["b", `"b/x"]}]})",
       "unknown block path 'b/x'"},
      {"relocation path", kHead + kTop + R"(, "relocation": [{"reference": `"nope"}]})",
       "unknown block path 'nope'"},
  });
}

// Where cells lie and what regions cover: positions come in pairs within
// the grid's range, and bounds name one declared region once, corners in
// order.
TEST_F(LoaderErrors, CellPlacesAndRegionBounds) {
  auto device = [&](const std::string& body) {
    return kHead + R"("device": {"clock_regions": ["R"], "cell_types": [{"name": "T"}], )" + body +
           "}, " + kTop + "}";
  };
  const std::string bounds = R"({"name": "R", "x_min": 0, "y_min": 0, "x_max": 3, "y_max": 3})";
  Expect({
      {"x without y", device(R"("cells": [{"name": "C", "type": "T", "x": `4}])"),
       "a cell's 'x' and 'y' come together"},
      {"y without x", device(R"("cells": [{"name": "C", "type": "T", "y": `4}])"),
       "a cell's 'x' and 'y' come together"},
      {"negative x", device(R"("cells": [{"name": "C", "type": "T", "x": `-1, "y": 0}])"),
       "'x' is out of range (0..65535)"},
      {"empty package pin", device(R"("cells": [{"name": "C", "type": "T", "package_pin": `""}])"),
       "'package_pin' must not be empty"},
      {"bounds of an unknown region",
       device(
           R"("clock_region_bounds": [{"name": `"Q", "x_min": 0, "y_min": 0, "x_max": 1, "y_max": 1}])"),
       "unknown clock region 'Q'"},
      {"bounds twice",
       device(R"("clock_region_bounds": [)" + bounds +
              R"(, {"name": `"R", "x_min": 0, "y_min": 0, "x_max": 1, "y_max": 1}])"),
       "clock region 'R' has bounds twice"},
      {"empty bounds",
       device(
           R"("clock_region_bounds": [{"name": `"R", "x_min": 2, "y_min": 0, "x_max": 1, "y_max": 1}])"),
       "the bounds of clock region 'R' are empty"},
      {"a corner missing",
       device(R"("clock_region_bounds": [`{"name": "R", "x_min": 2, "y_min": 0, "x_max": 1}])"),
       "missing required key 'y_max' in clock region bounds"},
  });
}

// Nothing is silently changed or cut, and messages quote a bounded piece
// of the input with control characters escaped.
TEST_F(LoaderErrors, StrictInput) {
  const std::string longKey(1 << 20, 'k');
  Expect({
      {"NUL in a name",
       TopWith(
           R"("blocks": [{"name": `"x\u0000a", "level": 3}, {"name": "x\u0000b", "level": 3}])"),
       "a string must not contain the NUL character (\\u0000)"},
      {"NUL in a key", kHead + R"(`"top\u0000": {}})",
       "a string must not contain the NUL character (\\u0000)"},
      {"byte that is no UTF-8", kHead + "\"nets\": [{\"name\": \"a`\xFF\"}], " + kTop + "}",
       "invalid encoding in string"},
      {"overlong encoding", kHead + "\"nets\": [{\"name\": \"`\xC0\xAF\"}], " + kTop + "}",
       "invalid encoding in string"},
      {"encoded surrogate", kHead + "\"nets\": [{\"name\": \"`\xED\xA0\x80\"}], " + kTop + "}",
       "invalid encoding in string"},
      {"lone low surrogate escape", kHead + R"("nets": [{"name": `"a\udc00"}], )" + kTop + "}",
       "the surrogate pair in string is invalid"},
      {"lone high surrogate escape", kHead + R"("nets": [{"name": "a`\ud800b"}], )" + kTop + "}",
       "the surrogate pair in string is invalid"},
      {"slash in a block name", TopWith(R"("blocks": [{"name": `"a/b", "level": 3}])"),
       "a block name must not contain '/' (it joins block paths)"},
      {"long unknown key", kHead + "`\"" + longKey + "\": 1}",
       "unknown key '" + longKey.substr(0, 64) + "...' in the design file"},
      {"control characters quoted",
       kHead + R"("nets": [{"name": "a\nb\u0001"}, {"name": `"a\nb\u0001"}], )" + kTop + "}",
       "duplicate net name 'a\\nb\\u0001'"},
      {"version past 64 bits", R"({"format": "ncd-json", "version": `99999999999999999999})",
       "unsupported version 99999999999999999999 (this reader knows 1)"},
      {"version past int64", R"({"format": "ncd-json", "version": `9223372036854775808})",
       "unsupported version 9223372036854775808 (this reader knows 1)"},
      {"version as a fraction", R"({"format": "ncd-json", "version": `1.0})",
       "'version' must be an integer"},
      {"level with an exponent", kHead + R"("top": {"name": "t", "level": `0e0}})",
       "'level' must be an integer"},
      {"level past 64 bits", kHead + R"("top": {"name": "t", "level": `-99999999999999999999}})",
       "'level' is out of range (0..255)"},
      {"byte-order mark", "`\xEF\xBB\xBF" + kHead + kTop + "}",
       "the file starts with a byte-order mark (design files are UTF-8 without one)"},
  });
}

TEST_F(LoaderErrors, DesignRules) {
  Expect({
      {"top pin with signal",
       TopWith(R"("signals": [{"name": "s"}], "pins": [{"name": "p", "signal": `"s"}])"),
       "a pin of the top block cannot have a 'signal'"},
      {"top level", kHead + R"("top": {"name": "t", "level": `1}})",
       "the top block's level must be 0"},
      {"second master",
       kHead +
           R"("nets": [{"name": "v1", "type": "power", "master": true}, {"name": "v2", "type": "power", "master": `true}], )" +
           kTop + "}",
       "a second master power net 'v2' (the first is 'v1')"},
      {"logic master", kHead + R"("nets": [{"name": "n", "master": `true}], )" + kTop + "}",
       "'master' applies to power and ground nets only"},
      {"gcd_invalid alone", TopWith(R"("gcd_invalid": `["A"])"), "'gcd_invalid' without 'gcd'"},
      {"mode_defs without a site", TopWith(R"("mode_defs": `[{"name": "EQN"}])"),
       "'mode_defs' without 'site'"},
      {"mode_defs twice the same",
       TopWith(
           R"("blocks": [{"name": "b", "level": 4, "mode_defs": [{"name": "M"}, {"name": `"M"}]}])"),
       "duplicate mode name 'M' in the 'mode_defs' of block 'b'"},
      {"reject_only alone", TopWith(R"("io": {"reject_only": `["drive"]})"),
       "'reject_only' without 'reject'"},
      {"no_device with a device",
       kHead + R"("device": {}, )" + kTop + R"(, "faults": {"no_device": `true}})",
       "'no_device' in a design file with a 'device'"},
      {"two relocation groups",
       kHead +
           R"("top": {"name": "t", "level": 0, "blocks": [{"name": "b", "level": 3}]}, "relocation": [{"reference": "b", "members": ["b"]}, {"reference": "b", "members": [`"b"]}]})",
       "block 'b' is in two relocation groups"},
  });
  std::string deep = kHead + R"("top": {"name": "t", "level": 0)";
  for (int i = 0; i < 300; ++i) {
    deep += std::string(R"(, "blocks": [)") + (i == 256 ? "`" : "") + R"({"name": "b", "level": 1)";
  }
  // The file ends here: the loader stops before it gets so far.
  Expect({{"nesting", deep, "blocks nested deeper than 256 levels"}});
}

// Every range of the format takes its two ends and refuses one past each.
TEST_F(LoaderErrors, EveryRangeTakesItsEndsAndRefusesOnePast) {
  struct Range {
    const char* key;
    std::int64_t low, high;
    std::function<std::string(const std::string&)> design;  // with the value's text
    std::function<std::int64_t(const Loaded&)> read;        // the value back
  };
  const std::string net = kHead + R"("nets": [{"name": "n", )";
  auto netDelays = [](const Loaded& l, bool second) -> std::int64_t {
    int first = 0, other = 0;
    Tw_DlyMed mediator(l.cad());
    const auto type =
        mediator.GetDelay(dynamic_cast<XCad_CadNetwork*>(NetNamed(l.view, "n")), &first, &other);
    return second ? other : type == Tw_DlyMed::DELAYTYPE_NONE ? -1 : first;
  };
  auto pinField = [](const Loaded& l) -> const Xdm_PinFields& {
    return Xdm_Access::F(*l.view->GetPinByBridgeId(0));
  };
  auto block = [](const Loaded& l) {
    return dynamic_cast<Pds_PdmBlock*>(l.view->GetBlockByBridgeId(1));
  };
  const std::int64_t i32min = INT32_MIN, i32max = INT32_MAX;
  const std::vector<Range> ranges = {
      {"level", 0, 255,
       [](const std::string& v) {
         return TopWith(R"("blocks": [{"name": "b", "level": )" + v + "}]");
       },
       [&](const Loaded& l) { return block(l)->GetHierLevel(); }},
      {"netlist_security", i32min, i32max,
       [](const std::string& v) {
         return TopWith(R"("blocks": [{"name": "b", "level": 3, "netlist_security": )" + v + "}]");
       },
       [&](const Loaded& l) { return block(l)->GetNetlistSecurity(); }},
      {"config_security", i32min, i32max,
       [](const std::string& v) {
         return TopWith(R"("blocks": [{"name": "b", "level": 3, "config_security": )" + v + "}]");
       },
       [&](const Loaded& l) { return block(l)->GetConfigSecurity(); }},
      {"delay", i32min, i32max,
       [](const std::string& v) {
         return TopWith(R"("pins": [{"name": "p", "delay": )" + v + "}]");
       },
       [&](const Loaded& l) { return pinField(l).delay; }},
      {"delay_type", 0, 2,
       [](const std::string& v) {
         return TopWith(R"("pins": [{"name": "p", "delay_type": )" + v + "}]");
       },
       [&](const Loaded& l) { return pinField(l).delayType; }},
      {"delay", i32min, i32max,
       [&](const std::string& v) { return net + R"("delay": )" + v + "}], " + kTop + "}"; },
       [&](const Loaded& l) { return netDelays(l, false); }},
      {"delay_min", i32min, i32max,
       [&](const std::string& v) {
         return net + R"("delay": 0, "delay_min": )" + v + "}], " + kTop + "}";
       },
       [&](const Loaded& l) { return netDelays(l, true); }},
      {"delay_type", 0, 2,
       [&](const std::string& v) {
         return net + R"("delay": 7, "delay_type": )" + v + "}], " + kTop + "}";
       },
       [&](const Loaded& l) {
         Tw_DlyMed mediator(l.cad());
         return static_cast<std::int64_t>(mediator.GetDelay(
             dynamic_cast<XCad_CadNetwork*>(NetNamed(l.view, "n")), nullptr, nullptr));
       }},
      {"blocks", 0, 1 << 20,
       [](const std::string& v) {
         return kHead + kTop + R"(, "faults": {"spare_ids": {"blocks": )" + v + "}}}";
       },
       [](const Loaded& l) { return l.view->GetMaxBlocks() - 1; }},
      {"shapes", 0, 1 << 20,
       [](const std::string& v) {
         return kHead + kTop + R"(, "faults": {"spare_ids": {"shapes": )" + v + "}}}";
       },
       [](const Loaded& l) { return l.view->GetMaxPropertyHolders(); }},
  };
  for (const Range& range : ranges) {
    for (const std::int64_t value : {range.low, range.high}) {
      SCOPED_TRACE(std::string(range.key) + " " + std::to_string(value));
      const Loaded loaded =
          Load(m_dir.Write("range.ncd.json", range.design(std::to_string(value))));
      EXPECT_EQ(range.read(loaded), value);
    }
    for (const std::int64_t value : {range.low - 1, range.high + 1}) {
      SCOPED_TRACE(std::string(range.key) + " " + std::to_string(value));
      const std::string path = m_dir.Write("range.ncd.json", range.design(std::to_string(value)));
      const std::string cause = "'" + std::string(range.key) + "' is out of range (" +
                                std::to_string(range.low) + ".." + std::to_string(range.high) + ")";
      const std::string message = Refusal(path);
      EXPECT_EQ(message.substr(message.size() - std::min(message.size(), cause.size())), cause);
    }
  }
}

// The load delay (read by the loader, played by the public loader) and the
// nesting depth, at their ends.
TEST_F(LoaderErrors, DelayAndNestingAtTheirEnds) {
  const auto delay = [](const std::string& v) {
    return kHead + kTop + R"(, "faults": {"load_delay_ms": )" + v + "}}";
  };
  Pds_PahJsonLoader longest(m_dir.Write("delay.ncd.json", delay("600000")));
  longest.Load();
  EXPECT_EQ(longest.Faults().delayMs, 600000);
  const std::string past = m_dir.Write("delay.ncd.json", delay("600001"));
  EXPECT_NE(Refusal(past).find(": 'load_delay_ms' is out of range (0..600000)"), std::string::npos);
  EXPECT_NE(Refusal(m_dir.Write("delay.ncd.json", delay("-1"))).find("out of range (0..600000)"),
            std::string::npos);

  // 256 levels below the top load; one more is refused (DesignRules).
  std::string deep = kHead + R"("top": {"name": "t", "level": 0)";
  for (int i = 0; i < 256; ++i)
    deep += R"(, "blocks": [{"name": "b", "level": 1)";
  for (int i = 0; i < 256; ++i)
    deep += "}]";
  const Loaded loaded = Load(m_dir.Write("deep.ncd.json", deep + "}}"));
  EXPECT_EQ(loaded.view->GetMaxBlocks(), 257u);
  EXPECT_EQ(std::string(loaded.view->GetBlockByBridgeId(256)->GetFullName()).size(), 256u * 2 - 1);
}

}  // namespace
