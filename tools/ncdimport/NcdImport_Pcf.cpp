#include "NcdImport_Pcf.h"

#include <sstream>
#include <string_view>

#include "NcdImport_Input.h"

namespace NcdImport {

namespace {

// Options of set_io that take a value, and whether the importer maps them.
struct Option {
  const char* name;
  bool hasValue;
};
constexpr Option kOptions[] = {{"-pullup", true}, {"-pullup_resistor", true}, {"-nowarn", false}};

}  // namespace

const PcfIo* Pcf::Find(const std::string& port) const {
  auto it = index.find(port);
  return it == index.end() ? nullptr : &ios[it->second];
}

Pcf ReadPcf(const std::string& path, Notes& notes, std::uint64_t limit) {
  const std::string text = ReadInput(path, limit);
  CheckText(path, text);
  // Some editors start their text with a byte-order mark, which would
  // hide the first command.
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  std::istringstream in(text.starts_with(kMark) ? text.substr(kMark.size()) : text);
  Pcf pcf;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string where = path + ":" + std::to_string(number);
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    if (w[0] != "set_io") {
      notes.Add("PCF command '" + w[0] + "'", where);
      continue;
    }
    PcfIo io;
    io.line = number;
    std::vector<std::string> args;
    for (std::size_t i = 1; i < w.size(); ++i) {
      const Option* option = nullptr;
      for (const Option& o : kOptions) {
        if (w[i] == o.name) option = &o;
      }
      if (!option) {
        if (w[i][0] == '-') throw Error(where + ": unknown set_io option " + Quote(w[i]));
        args.push_back(w[i]);
        continue;
      }
      if (option->hasValue && ++i == w.size()) {
        throw Error(where + ": set_io option '" + option->name + "' needs a value");
      }
      if (w[i - option->hasValue] == "-pullup") {
        io.pullup = w[i];
      } else if (option->hasValue) {
        notes.Add(std::string("PCF set_io option '") + option->name + "'", where);
      }
    }
    if (args.size() != 2) throw Error(where + ": set_io wants a port and a pin");
    io.port = args[0];
    io.pin = args[1];
    if (const PcfIo* before = pcf.Find(io.port)) {
      throw Error(where + ": port " + Quote(io.port) + " is already constrained on line " +
                  std::to_string(before->line));
    }
    pcf.index.emplace(io.port, pcf.ios.size());
    pcf.ios.push_back(std::move(io));
  }
  return pcf;
}

}  // namespace NcdImport
