#include "NcdTcl_Help.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "NcdTcl_Error.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Property.h"

namespace NcdTcl {

namespace {

constexpr std::size_t kWidth = 78;

// `words` wrapped at kWidth columns, the first line after `first` columns
// already used, the others indented by `indent` blanks.
std::string WrappedWords(const std::vector<std::string>& words, std::size_t indent,
                         std::size_t first) {
  std::string out, line(first, ' ');
  for (const std::string& word : words) {
    if (line.size() > indent && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line.assign(indent, ' ');
    }
    line += (line.size() > indent && line.size() > first ? " " : "") + word;
  }
  return (out + line).substr(first);
}

// `text` wrapped at kWidth columns, each line indented by `indent` blanks.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t first) {
  std::vector<std::string> words;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return WrappedWords(words, indent, first);
}
std::string Wrapped(const std::string& text, std::size_t indent) {
  return std::string(indent, ' ') + Wrapped(text, indent, indent);
}

// A synopsis wrapped between its optional parts, never inside one
// ("?-filter expression?" stays whole).
std::string WrappedSynopsis(const std::string& head, const std::string& synopsis) {
  std::vector<std::string> parts{head};
  bool inOptional = false;
  for (std::size_t start = 0; start < synopsis.size();) {
    const std::size_t end = std::min(synopsis.find(' ', start), synopsis.size());
    const std::string word = synopsis.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    if (inOptional) {
      parts.back() += " " + word;
    } else {
      parts.push_back(word);
    }
    inOptional = (inOptional || word.front() == '?') && word.back() != '?';
  }
  return WrappedWords(parts, 8, 0);
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + "  " : text + std::string(width - text.size(), ' ');
}

// ---- topics ----

std::string PropertiesOf(Session& session, const KindInfo& kind);

struct Topic {
  const char* name;
  const char* summary;
  const char* text;  // null: made by PropertiesOf for the kind of that name
};

const Topic kTopics[] = {
    {"patterns", "names, patterns and paths of the get commands",
     "An object's path is the name it prints as: a block's, signal's or net's full name "
     "(u_cnt/c0), a pin's block/pin (the pin name alone on the top block), a site's, clock "
     "region's or RPM's name.\n"
     "Globs: * any text and ? one character, both within one level (never /); \\x the "
     "character x; every other character, [ and ] included, is itself (get_nets {count[6]}).\n"
     "Without -hierarchical a pattern is a path from the top, one level per / (u_cnt/*); the "
     "top block and the objects directly in it are one level. With -hierarchical the pattern "
     "matches the last levels of a path at any depth (c0, u_cnt/c*). -regexp: Tcl regular "
     "expressions anchored at both ends, on the whole path (or, with -hierarchical, the path "
     "below any level); -nocase ignores case. No pattern: every object.\n"
     "Options may come anywhere; -- ends them. Each pattern argument may be a list of "
     "patterns; an object value of the command's kind stands for itself. A plain name is "
     "looked up in the current design; a name of several kinds is a net over its signals, "
     "else the kind that has the property read, else (-of_objects) net, pin, signal, block, "
     "rpm, clock region, site; -object_type kind says which. Results keep the design's "
     "order, without duplicates."},
    {"filter", "the grammar of -filter expressions",
     "-filter keeps the objects for which an expression over their properties holds:\n"
     "  property == value, !=         equal: as numbers when both are numbers, as\n"
     "                                booleans for a bool property, without case for\n"
     "                                Level, Direction, IO Direction, Status, Subtype,\n"
     "                                Type, else as text\n"
     "  property =~ glob, !~          the value matches the glob (string match)\n"
     "  property < number, <=, >, >=  both are numbers and compare so\n"
     "  property                      the value is true (or a text that is no boolean)\n"
     "  a && b, a || b, !a, ( a )     as in expr\n"
     "A test of a property an object lacks, or that has no value, is unknown and so is its "
     "negation: the object is not kept (!is_placed: the unplaced comps); p == \"\" finds a "
     "property without a value. Words follow Tcl's quoting ([list name == $n] matches any "
     "name); a bare value ends at a blank (or \")\" inside parentheses). Property names match "
     "as the component matches them: full_name and {Full Name} are one name. Parentheses and "
     "! nest at most 100 levels. Example: get_blocks -filter {level == comp && !is_placed}"},
    {"properties", "the properties of each kind of object (in the current design)", nullptr},
};

std::string TopicText(Session& session, const Topic& topic) {
  if (topic.text) {
    std::string out = topic.name + std::string("\n");
    std::string text = topic.text;
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string paragraph = text.substr(start, end - start);
      out +=
          (paragraph.rfind("  ", 0) == 0 ? "    " + paragraph.substr(2) : Wrapped(paragraph, 4)) +
          "\n";
      start = end + 1;
    }
    out.pop_back();
    return out;
  }
  std::string out;
  for (const KindInfo* kind = Kinds(); kind != Kinds() + kKindCount; ++kind)
    out += (out.empty() ? "" : "\n") + PropertiesOf(session, *kind);
  return out;
}

// The properties of a kind, with their kinds and the first line of their
// descriptions, as the component lists them.
std::string PropertiesOf(Session& session, const KindInfo& kind) {
  std::string out = std::string(kind.word) + " properties";
  ResultList holder(false);
  std::vector<NamedProperty> properties;
  try {
    properties = KindProperties(session.Current(), kind, holder);
  } catch (const Error& error) {
    return out + "\n    (" + error.what() + ")";
  }
  for (const auto& [name, coll] : properties) {
    PropertyDescription description;
    if (!DescribeProperty(coll, name.c_str(), description)) continue;
    const std::string first = description.description.substr(0, description.description.find('\n'));
    out += "\n    " + Padded(name, 18) + Padded(description.kind, 8) + first;
  }
  return out;
}

// ---- commands ----

std::string OptionsHelp(const CommandEntry& entry) {
  std::string out;
  for (const OptionEntry* option = entry.options; option && option->name; ++option) {
    if (!option->help) continue;  // "--" where no argument may start with "-"
    std::string left = option->name;
    if (option->valueName) left += std::string(" ") + option->valueName;
    const std::string padded = "    " + Padded(left, 22);
    out += "\n" + padded + Wrapped(option->help, 26, padded.size());
  }
  return out.empty() ? out : "\n  Options:" + out;
}

std::string Summary(const CommandEntry& entry) {
  std::string synopsis = Synopsis(entry);
  return WrappedSynopsis(std::string("ncd::") + entry.name, synopsis) + "\n" +
         Wrapped(entry.summary, 4);
}

// Accepts "open_design", "ncd::open_design" and "::ncd::open_design".
std::string BareName(const char* text) {
  for (const char* prefix : {"::ncd::", "ncd::"})
    if (!std::strncmp(text, prefix, std::strlen(prefix))) return text + std::strlen(prefix);
  return text;
}

// The help of every command and topic that `pattern` matches.
std::vector<std::string> Matching(Session& session, const std::string& pattern) {
  std::vector<std::string> found;
  for (const CommandEntry* entry = Commands(); entry->name; ++entry)
    if (Tcl_StringMatch(entry->name, pattern.c_str())) found.push_back(CommandHelp(*entry));
  for (const Topic& topic : kTopics)
    if (Tcl_StringMatch(topic.name, pattern.c_str())) found.push_back(TopicText(session, topic));
  for (const KindInfo* kind = Kinds(); kind != Kinds() + kKindCount; ++kind)
    if (Tcl_StringMatch(kind->word, pattern.c_str())) found.push_back(PropertiesOf(session, *kind));
  return found;
}

std::string Overview() {
  std::string out;
  for (const CommandEntry* entry = Commands(); entry->name; ++entry)
    out += Summary(*entry) + "\n";
  out += "Topics:";
  for (const Topic& topic : kTopics)
    out += "\n    " + Padded(topic.name, 12) + Wrapped(topic.summary, 16, 16);
  return out + "\n    " + Padded("block, ...", 12) +
         Wrapped("the properties of one kind: block, net, pin, signal, rpm, site, clock_region", 16,
                 16) +
         "\n" +
         Wrapped(
             "help ?pattern? answers the help of the commands and topics that match (a "
             "glob); every command answers its own for -help.",
             0);
}

}  // namespace

std::string CommandHelp(const CommandEntry& entry) {
  std::string out = Summary(entry);
  if (*entry.details) out += "\n" + Wrapped(entry.details, 4);
  return out + OptionsHelp(entry);
}

void Help(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc > 2) RequirePlainArgs(interp, objc, objv, 1, UsageOf("help"));
  std::string text = Overview();
  if (objc == 2) {
    const std::string pattern = BareName(Tcl_GetString(objv[1]));
    std::vector<std::string> found = Matching(session, pattern);
    if (found.empty()) found = Matching(session, pattern + "*");  // a prefix will do
    if (found.empty())
      throw Error(ErrorClass::Option, "no command or topic matches \"" + Clipped(pattern) +
                                          "\": help without a pattern lists them");
    text.clear();
    for (const std::string& one : found)
      text += (text.empty() ? "" : "\n\n") + one;
  }
  Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), static_cast<int>(text.size())));
}

bool AnswerHelpOption(const CommandEntry& entry, Tcl_Interp* interp, int objc,
                      Tcl_Obj* const objv[]) {
  // A value without a string (a list made and never printed) is no -help:
  // asking for its string would change how the command reads it.
  if (objc != 2 || !objv[1]->bytes || std::strcmp(objv[1]->bytes, "-help")) return false;
  const std::string text = CommandHelp(entry);
  Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), static_cast<int>(text.size())));
  return true;
}

std::vector<const char*> HelpTopicNames() {
  std::vector<const char*> names;
  for (const Topic& topic : kTopics)
    names.push_back(topic.name);
  for (const KindInfo* kind = Kinds(); kind != Kinds() + kKindCount; ++kind)
    names.push_back(kind->word);
  return names;
}

}  // namespace NcdTcl
