#include "NcdTcl_Complete.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "NcdTcl_Commands.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Help.h"
#include "NcdTcl_Index.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Relations.h"

namespace NcdTcl {

const OptionEntry kCompleteOptions[] = {
    {"-limit", "count", "answer at most count completions (200 by default)"},
    {"-edit", nullptr,
     "answer how Tab changes the line: {count text completions cut}, the count of characters "
     "at the line's end that text replaces (what all the completions share, written as the "
     "word must write it, closed when only one fits), the completions, and whether more "
     "than -limit were left out"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

// ---- names ----

std::string CommonPrefix(const std::string& a, const std::string& b) {
  std::size_t same = 0;
  while (same < a.size() && same < b.size() && a[same] == b[same])
    ++same;
  // Whole characters: back to the start of a UTF-8 sequence cut short.
  if (same < a.size() && same < b.size())
    while (same > 0 && (a[same] & 0xC0) == 0x80)
      --same;
  return a.substr(0, same);
}

namespace {

constexpr const char* kIndexKey = "ncd-complete-names";

// The sorted full names of the design last completed, per kind.
struct NameIndex {
  std::uint64_t handle = 0;
  bool made[kKindCount] = {};
  std::vector<std::string> names[kKindCount];
};

void DeleteIndex(ClientData data, Tcl_Interp*) {
  delete static_cast<NameIndex*>(data);
}

NameIndex& IndexOf(Tcl_Interp* interp) {
  auto* index = static_cast<NameIndex*>(Tcl_GetAssocData(interp, kIndexKey, nullptr));
  if (!index) {
    index = new NameIndex();
    Tcl_SetAssocData(interp, kIndexKey, DeleteIndex, index);
  }
  return *index;
}

// Nets, sites and clock regions are named from the database and the
// device (a search would make every net an object: seconds at a million
// blocks, on the first Tab).
std::vector<std::string> AllNames(Session::Handle& design, const KindInfo& kind) {
  std::vector<std::string> names;
  if (kind.kind == Kind::Net) {
    names = NetPaths(design);
  } else if (kind.kind == Kind::Site || kind.kind == Kind::ClockRegion) {
    names = DeviceNames(design, kind);
  } else {
    ResultList all(false);
    SearchQuery query;
    query.kind = &kind;
    query.hierarchical = true;
    Search(design, query, "*", all);
    names.reserve(all.Size());
    for (Tcl_Obj* item : all.Items())
      names.push_back(DisplayName(CollectableOf(item), kind));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

const std::vector<std::string>& SortedNames(Tcl_Interp* interp, Session::Handle& design,
                                            const KindInfo& kind) {
  NameIndex& index = IndexOf(interp);
  if (index.handle != design.number) {
    index = NameIndex();
    index.handle = design.number;
  }
  const int k = static_cast<int>(kind.kind);
  if (!index.made[k]) {
    index.names[k] = AllNames(design, kind);
    index.made[k] = true;
  }
  return index.names[k];
}

// The children of `block` (the design's top level for the top block),
// with the top block itself at the top level.
std::vector<std::string> ChildNames(Tcl_Obj* block, bool top) {
  std::vector<std::string> names;
  const KindInfo& blocks = InfoOf(Kind::Block);
  if (top) names.push_back(DisplayName(CollectableOf(block), blocks));
  ResultList children(false);
  AddRelated(block, blocks, children);
  for (Tcl_Obj* child : children.Items()) {
    CheckStop();
    names.push_back(DisplayName(CollectableOf(child), blocks));
  }
  return names;
}

// The block a path names ("" for the top), held by `holder`; null for none.
// Found level by level among children, which costs the children of the
// blocks on the path, not a walk over the design.
Tcl_Obj* BlockAt(Session::Handle& design, const std::string& path, ResultList& holder) {
  Tcl_Obj* block = TopBlock(design);
  holder.Add(block);
  block = holder.Items().back();
  std::size_t start = 0;
  while (block && start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string level = path.substr(start, end - start);
    ResultList children(false);
    AddRelated(block, InfoOf(Kind::Block), children);
    block = nullptr;
    for (Tcl_Obj* child : children.Items()) {
      if (PropertyText(CollectableOf(child), "Name") != level) continue;
      holder.Add(child);
      block = holder.Items().back();
      break;
    }
    start = end + 1;
  }
  return block;
}

// Blocks are completed down the hierarchy: among the children of the block
// that the prefix's path names, so a Tab costs the same on any design.
// One block that has children is offered also as "<name>/".
std::vector<std::string> BlocksWithPrefix(Session::Handle& design, const std::string& prefix) {
  const std::size_t slash = prefix.rfind('/');
  const std::string path = slash == std::string::npos ? "" : prefix.substr(0, slash);
  ResultList holder(false);
  Tcl_Obj* parent = BlockAt(design, path, holder);
  if (!parent) return {};
  std::vector<std::string> out;
  for (std::string& name : ChildNames(parent, path.empty()))
    if (!name.compare(0, prefix.size(), prefix)) out.push_back(std::move(name));
  if (out.size() == 1) {
    Tcl_Obj* only = BlockAt(design, out.front(), holder);
    ResultList children(false);
    if (only) AddRelated(only, InfoOf(Kind::Block), children);
    if (children.Size()) out.push_back(out.front() + "/");
  }
  return out;
}

// A pin is completed as block/pin: the pins of the block the prefix names;
// at the top level, the top block's pins, which are paths of one level.
void AddPinsOf(Session::Handle& design, const std::string& prefix, std::vector<std::string>& out) {
  const std::size_t slash = prefix.rfind('/');
  ResultList holder(false);
  Tcl_Obj* block =
      BlockAt(design, slash == std::string::npos ? "" : prefix.substr(0, slash), holder);
  if (!block) return;
  ResultList pins(false);
  AddRelated(block, InfoOf(Kind::Pin), pins);
  for (Tcl_Obj* pin : pins.Items()) {
    std::string name = DisplayName(CollectableOf(pin), InfoOf(Kind::Pin));
    if (!name.compare(0, prefix.size(), prefix)) out.push_back(name);
  }
}

// What all the names with `prefix` share (sorted: the first and the last
// share it), up to the first level past the prefix.
std::string CommonOfRange(const std::vector<std::string>& names, const std::string& prefix) {
  const auto first = std::lower_bound(names.begin(), names.end(), prefix);
  const auto end = std::upper_bound(first, names.end(), prefix,
                                    [](const std::string& p, const std::string& name) {
                                      return name.compare(0, p.size(), p) > 0;
                                    });
  if (first == end) return "";
  std::string common = CommonPrefix(*first, *(end - 1));
  const std::size_t slash = common.find('/', prefix.size());
  return slash == std::string::npos ? common : common.substr(0, slash + 1);
}

// The other kinds from their sorted names: one level of the path at a time.
std::vector<std::string> IndexedWithPrefix(const std::vector<std::string>& names,
                                           const std::string& prefix, std::size_t most) {
  std::vector<std::string> out;
  auto it = std::lower_bound(names.begin(), names.end(), prefix);
  while (it != names.end() && out.size() < most && !it->compare(0, prefix.size(), prefix)) {
    const std::size_t slash = it->find('/', prefix.size());
    if (slash == std::string::npos) {
      out.push_back(*it++);
      continue;
    }
    out.push_back(it->substr(0, slash + 1));
    // Past every name below that level: they share "<level>/", and "0" follows "/".
    it = std::lower_bound(it, names.end(), it->substr(0, slash) + "0");
  }
  return out;
}

}  // namespace

std::vector<std::string> NamesWithPrefix(Tcl_Interp* interp, Session::Handle& design,
                                         const KindInfo& kind, const std::string& prefix,
                                         std::size_t most, std::string* common) {
  std::vector<std::string> out;
  if (kind.kind == Kind::Block || kind.kind == Kind::Pin) {
    out = BlocksWithPrefix(design, prefix);
    if (kind.kind == Kind::Pin) AddPinsOf(design, prefix, out);
  } else {
    // Signals go by their nets' names.
    const Kind source = kind.kind == Kind::Signal ? Kind::Net : kind.kind;
    const std::vector<std::string>& names = SortedNames(interp, design, InfoOf(source));
    out = IndexedWithPrefix(names, prefix, most);
    if (common) *common = CommonOfRange(names, prefix);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  if (common && (kind.kind == Kind::Block || kind.kind == Kind::Pin))
    *common = out.empty() ? "" : CommonPrefix(out.front(), out.back());
  if (out.size() > most) out.resize(most);
  return out;
}

// ---- the line ----

namespace {

// The command the line ends in, as words: the last is the word being
// typed (empty after a blank), as typed.
struct Line {
  std::vector<std::string> words;
  char open = 0;      // '{' or '"' when the last word is still inside its brace or quote
  std::string value;  // the last word's text as Tcl reads it (inside an open brace, as typed)
  std::size_t valueFrom = 0;  // where that text is typed in the line (after an open brace or quote)
  // Inside an open brace or quote (an expression): the end of the word
  // after its last break character, and where it begins in the line.
  std::string tail;
  std::size_t tailFrom = 0;
};

// Where the command the line ends in begins: after the last "[", ";" or
// newline that is not closed, braced or quoted (a "[" within quotes still
// opens a command).
std::size_t CommandStart(const std::string& text) {
  std::vector<std::size_t> starts{0};
  int braces = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      ++i;
    } else if (c == '{' && !quoted) {
      ++braces;
    } else if (c == '}' && !quoted) {
      braces -= braces > 0;
    } else if (!braces && c == '"') {
      quoted = !quoted;
    } else if (!braces && c == '[') {
      starts.push_back(i + 1);
    } else if (!braces && c == ']' && starts.size() > 1) {
      starts.pop_back();
    } else if (!braces && !quoted && (c == ';' || c == '\n')) {
      starts.back() = i + 1;
    }
  }
  return starts.back();
}

// The text of a bare or quoted word, its backslashes taken away.
std::string Unescaped(const std::string& typed) {
  std::string text;
  for (std::size_t i = 0; i < typed.size(); ++i)
    text += typed[i] == '\\' && i + 1 < typed.size() ? typed[++i] : typed[i];
  return text;
}

// Tcl's words: a word that begins with "{" lasts to its matching "}", one
// that begins with '"' to the next unescaped '"'; blanks end the others.
struct WordScanner {
  Line& line;
  std::string current;
  std::size_t start = 0;  // of the current word in the line
  bool inWord = false;
  int braces = 0;

  void Begin(char c, std::size_t at) {
    inWord = true;
    start = at;
    current = c;
    line.open = c == '{' || c == '"' ? c : 0;
    braces = c == '{';
  }
  // Whether `c` ends the word (a blank outside a brace or quote).
  bool Add(char c) {
    if (line.open == '{') braces += c == '{' ? 1 : c == '}' ? -1 : 0;
    if ((line.open == '{' && !braces) || (line.open == '"' && c == '"'))
      line.open = 0;
    else if (!line.open && std::isspace(static_cast<unsigned char>(c)))
      return true;
    current += c;
    return false;
  }
};

Line Split(const std::string& text) {
  Line line;
  WordScanner scan{line, ""};
  const std::size_t base = CommandStart(text);
  for (std::size_t i = base; i < text.size(); ++i) {
    const char c = text[i];
    if (!scan.inWord) {
      if (!std::isspace(static_cast<unsigned char>(c))) scan.Begin(c, i);
      continue;
    }
    if (c == '\\' && i + 1 < text.size()) {
      scan.current += text.substr(i++, 2);
      continue;
    }
    if (scan.Add(c)) {
      line.words.push_back(scan.current);
      scan.inWord = false;
      line.open = 0;
    }
  }
  const std::string last = scan.inWord ? scan.current : "";
  line.words.push_back(last);
  line.valueFrom = scan.inWord ? scan.start + (line.open ? 1 : 0) : text.size();
  const std::string typed = text.substr(line.valueFrom);
  line.value = line.open == '{' ? typed : Unescaped(typed);
  const std::size_t cut = typed.find_last_of(kCompletionBreaks);
  line.tailFrom = cut == std::string::npos ? line.valueFrom : line.valueFrom + cut + 1;
  line.tail = text.substr(line.tailFrom);
  return line;
}

// ---- what completes ----

struct Context {
  Session& session;
  Tcl_Interp* interp;
  const CommandEntry* entry;
  const std::string& word;
  std::size_t most;
  std::vector<std::string>& out;
  std::string design;                 // the -design given; empty for the current design
  std::optional<std::string> common;  // of names beyond those offered

  void Offer(const std::string& candidate) {
    if (!candidate.compare(0, word.size(), word)) out.push_back(candidate);
  }
  const KindInfo* CommandKind() const {
    return entry && entry->kind ? KindOfWord(entry->kind) : nullptr;
  }
  Session::Handle& Design() const {
    if (design.empty()) return session.Current();
    TclRef name(Tcl_NewStringObj(design.c_str(), -1));
    return session.Ready(name.get());
  }
};

void Handles(Context& c) {
  Tcl_Obj* names = c.session.Names();
  TclRef held(names);
  int count = 0;
  Tcl_Obj** items = nullptr;
  Tcl_ListObjGetElements(nullptr, names, &count, &items);
  for (int i = 0; i < count; ++i)
    c.Offer(Tcl_GetString(items[i]));
}

// A property's name as a script writes it without braces: "Max Delay" as max_delay.
std::string ScriptName(std::string name) {
  for (char& ch : name)
    ch = ch == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return name;
}

// Property names match without regard to case: "Is" offers Is_placed.
void PropertiesOfKind(Context& c, const KindInfo& kind) {
  ResultList holder(false);
  const std::string typed = ScriptName(c.word);
  for (const NamedProperty& property : KindProperties(c.Design(), kind, holder)) {
    const std::string name = ScriptName(property.name);
    if (!name.compare(0, typed.size(), typed)) c.out.push_back(c.word + name.substr(typed.size()));
  }
}

void Properties(Context& c) {
  if (const KindInfo* kind = c.CommandKind()) return PropertiesOfKind(c, *kind);
  for (const KindInfo* kind = Kinds(); kind != Kinds() + kKindCount; ++kind) {
    try {
      PropertiesOfKind(c, *kind);
    } catch (const Error&) {
      // a part without sites or clock regions
    }
  }
}

// One more name than the limit, so that a cut list shows. Names that share
// nothing share "", which must hold too: the names offered may share more.
void NamesOf(Context& c, const KindInfo& kind) {
  std::string common;
  std::vector<std::string> names =
      NamesWithPrefix(c.interp, c.Design(), kind, c.word, c.most + 1, &common);
  if (!names.empty()) c.common = c.common ? CommonPrefix(*c.common, common) : common;
  for (std::string& name : names)
    c.out.push_back(std::move(name));
}

// The top block's pins, by their own names.
void Ports(Context& c) {
  ResultList pins(false);
  AddRelated(TopBlock(c.Design()), InfoOf(Kind::Pin), pins);
  for (Tcl_Obj* pin : pins.Items())
    c.Offer(PropertyText(CollectableOf(pin), "Name"));
}

// File names as Tcl's glob finds them; a folder as "name/", to go on into.
void Files(Context& c) {
  TclRef script(Tcl_NewListObj(0, nullptr));
  for (const char* word : {"apply",
                           "{prefix} {lmap f [glob -nocomplain -path $prefix *] "
                           "{expr {[file isdirectory $f] ? \"$f/\" : $f}}}"})
    Tcl_ListObjAppendElement(nullptr, script.get(), Tcl_NewStringObj(word, -1));
  Tcl_ListObjAppendElement(nullptr, script.get(), Tcl_NewStringObj(c.word.c_str(), -1));
  if (Tcl_EvalObjEx(c.interp, script.get(), TCL_EVAL_GLOBAL) != TCL_OK) return;
  int count = 0;
  Tcl_Obj** items = nullptr;
  Tcl_ListObjGetElements(nullptr, Tcl_GetObjResult(c.interp), &count, &items);
  for (int i = 0; i < count; ++i)
    c.Offer(Tcl_GetString(items[i]));
  Tcl_ResetResult(c.interp);
}

void Objects(Context& c) {
  if (const KindInfo* kind = c.CommandKind()) return NamesOf(c, *kind);
  NamesOf(c, InfoOf(Kind::Block));
  NamesOf(c, InfoOf(Kind::Net));
}

void KindWords(Context& c) {
  for (const KindInfo* kind = Kinds(); kind != Kinds() + kKindCount; ++kind)
    c.Offer(kind->word);
}

void ObjectsOrKinds(Context& c) {
  KindWords(c);
  Objects(c);
}

void Services(Context& c) {
  for (const char* service : {"timing", "routing"})
    c.Offer(service);
}

void CommandNames(Context& c) {
  for (const CommandEntry* entry = Commands(); entry->name; ++entry)
    c.Offer(entry->name);
}

void HelpTopics(Context& c) {
  CommandNames(c);
  for (const char* topic : HelpTopicNames())
    c.Offer(topic);
}

// A pattern matches objects, but for these commands.
const struct {
  const char* command;
  void (*complete)(Context&);
} kPatternCompleters[] = {
    {"help", HelpTopics},
    {"report_property", Properties},
    {"get_ports", Ports},
};

void Patterns(Context& c) {
  for (const auto& completer : kPatternCompleters)
    if (c.entry && !std::strcmp(c.entry->name, completer.command)) return completer.complete(c);
  Objects(c);
}

// What completes an argument or an option's value, by the word the
// synopsis names it with.
const struct {
  const char* word;
  void (*complete)(Context&);
} kCompleters[] = {
    {"handle", Handles},
    {"name", Properties},
    {"expression", Properties},
    {"object", Objects},
    {"objects", Objects},
    {"blocks", Objects},
    {"nets", Objects},
    {"object_or_kind", ObjectsOrKinds},
    {"kind", KindWords},
    {"pattern", Patterns},
    {"service", Services},
    {"command", CommandNames},
    {"file", Files},
};

// Options whose value is not what their synopsis word completes elsewhere.
const struct {
  const char* option;
  const char* what;
} kOptionValues[] = {
    {"-file", "file"}, {"-owner", ""},  // any name
};

const char* ValueWord(const OptionEntry& option) {
  for (const auto& value : kOptionValues)
    if (!std::strcmp(option.name, value.option)) return value.what;
  return option.valueName;
}

void CompleteAs(Context& c, const std::string& what) {
  for (const auto& completer : kCompleters) {
    if (what != completer.word) continue;
    try {
      completer.complete(c);
    } catch (const Error&) {
      // no design, a stale one: nothing to offer
    }
  }
}

const OptionEntry* OptionNamed(const CommandEntry* entry, const std::string& word) {
  for (const OptionEntry* option = entry->options; option && option->name; ++option)
    if (word == option->name) return option;
  return nullptr;
}

// The synopsis word of positional argument `index` ("?pattern ...?" repeats).
std::string ArgumentWord(const CommandEntry& entry, std::size_t index) {
  std::vector<std::string> words;
  std::string args = entry.args, word;
  for (char ch : args + " ") {
    if (ch == ' ') {
      if (word == "...")
        words.push_back(words.empty() ? "" : words.back());
      else if (!word.empty())
        words.push_back(word);
      word.clear();
    } else if (ch != '?') {
      word += ch;
    }
  }
  if (index < words.size()) return words[index];
  return args.find("...") != std::string::npos && !words.empty() ? words.back() : "";
}

void CompleteArgument(Context& c, const Line& line) {
  const std::vector<std::string>& words = line.words;
  if (!c.word.empty() && c.word[0] == '-' && words.size() > 1) {
    for (const OptionEntry* option = c.entry->options; option && option->name; ++option)
      c.Offer(option->name);
    return c.Offer("-help");
  }
  std::size_t positional = 0;
  bool optionsEnded = false;
  for (std::size_t i = 1; i + 1 < words.size(); ++i) {
    const OptionEntry* option = optionsEnded ? nullptr : OptionNamed(c.entry, words[i]);
    if (option && !std::strcmp(option->name, "--")) optionsEnded = true;
    if (!option) ++positional;
    if (!option || !option->valueName) continue;
    if (++i + 1 == words.size()) return CompleteAs(c, ValueWord(*option));
  }
  CompleteAs(c, ArgumentWord(*c.entry, positional));
}

void CompleteLine(Context& c, const Line& line, bool expression) {
  if (line.words.size() == 1 && !line.open) {
    CommandNames(c);
    TclRef script(Tcl_NewListObj(0, nullptr));
    Tcl_ListObjAppendElement(nullptr, script.get(), Tcl_NewStringObj("info", -1));
    Tcl_ListObjAppendElement(nullptr, script.get(), Tcl_NewStringObj("commands", -1));
    Tcl_ListObjAppendElement(nullptr, script.get(),
                             Tcl_NewStringObj((QuoteGlob(c.word) + "*").c_str(), -1));
    if (Tcl_EvalObjEx(c.interp, script.get(), TCL_EVAL_GLOBAL) != TCL_OK) return;
    int count = 0;
    Tcl_Obj** items = nullptr;
    Tcl_ListObjGetElements(nullptr, Tcl_GetObjResult(c.interp), &count, &items);
    // Qualified as typed: "ncd::get_n" offers ncd::get_nets, not ::ncd::get_nets.
    const bool rooted = !c.word.compare(0, 2, "::");
    for (int i = 0; i < count; ++i) {
      const char* name = Tcl_GetString(items[i]);
      c.out.push_back(!rooted && !std::strncmp(name, "::", 2) ? name + 2 : name);
    }
    return;
  }
  if (!c.entry) return Files(c);  // the arguments of Tcl's commands and procedures
  if (expression) return CompleteAs(c, "expression");
  CompleteArgument(c, line);
}

// The design an earlier "-design handle" names; empty for none.
std::string DesignGiven(const Line& line) {
  for (std::size_t i = 1; i + 2 < line.words.size(); ++i)
    if (line.words[i] == "-design") return line.words[i + 1];
  return "";
}

// A -filter expression completes property names within its brace or quote.
bool InExpression(const Line& line) {
  return line.open && line.words.size() >= 2 && line.words[line.words.size() - 2] == "-filter";
}

// How a name is written in a word that begins with `open` (0: a bare word,
// 'x': inside an expression): the characters to escape, and what ends the
// word once its name is whole.
const struct {
  char open;
  const char* escaped;
  const char* close;
} kWordForms[] = {
    {0, "\\$[]{}\"; \t", " "},
    {'"', "\\$[]\"", "\" "},
    {'{', "", "} "},
    {'x', "", " "},
};

// What replaces the typed end of the line: `common` written as the word
// must write it, closed when it is the one completion and not a level of a
// path. Answers {characters_replaced text}.
void AddEdit(Tcl_Obj* answer, const std::string& text, const Line& line, bool expression,
             const std::string& common, bool whole) {
  const char open = expression ? 'x' : line.open;
  const std::size_t from = expression ? line.tailFrom : line.valueFrom;
  const std::string& word = expression ? line.tail : line.value;
  std::string edit;
  for (const auto& form : kWordForms) {
    if (form.open != open) continue;
    for (char ch : common)
      edit += std::strchr(form.escaped, ch) && ch ? std::string{'\\', ch} : std::string{ch};
    if (whole && common.back() != '/') edit += form.close;
  }
  if (common.compare(0, word.size(), word)) edit = text.substr(from);  // nothing to add
  Tcl_ListObjAppendElement(nullptr, answer,
                           Tcl_NewIntObj(Tcl_NumUtfChars(text.c_str() + from, -1)));
  Tcl_ListObjAppendElement(nullptr, answer, Tcl_NewStringObj(edit.c_str(), -1));
}

std::string BareCommand(const std::string& word) {
  for (const char* prefix : {"::ncd::", "ncd::"})
    if (!word.compare(0, std::strlen(prefix), prefix)) return word.substr(std::strlen(prefix));
  return word;
}

}  // namespace

void Complete(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kCompleteOptions);
  RequireArgs(interp, objv, options, 1, UsageOf("complete"));
  Tcl_WideInt most = 200;
  if (options.Has(0) &&
      (Tcl_GetWideIntFromObj(nullptr, options.Value(0), &most) != TCL_OK || most < 1))
    throw Error(ErrorClass::Option, std::string("bad -limit \"") +
                                        Clipped(Tcl_GetString(options.Value(0))) +
                                        "\": must be a count of at least 1");
  const std::string text = Tcl_GetString(options.Arg(0));
  const Line line = Split(text);
  const bool expression = InExpression(line);
  std::vector<std::string> out;
  Context context{session,
                  interp,
                  CommandNamed(BareCommand(line.words.front()).c_str()),
                  expression ? line.tail : line.value,
                  static_cast<std::size_t>(most),
                  out,
                  DesignGiven(line),
                  std::nullopt};
  CompleteLine(context, line, expression);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  // The choices are sorted: what they all share is what the first and last share.
  std::string common = out.empty() ? "" : CommonPrefix(out.front(), out.back());
  if (context.common) common = CommonPrefix(common, *context.common);
  const bool cut = out.size() > context.most;
  if (cut) out.resize(context.most);
  TclRef list(Tcl_NewListObj(0, nullptr));
  for (const std::string& candidate : out)
    Tcl_ListObjAppendElement(nullptr, list.get(), Tcl_NewStringObj(candidate.c_str(), -1));
  if (!options.Has(1)) return Tcl_SetObjResult(interp, list.get());
  TclRef answer(Tcl_NewListObj(0, nullptr));
  AddEdit(answer.get(), text, line, expression, common, out.size() == 1 && !cut);
  Tcl_ListObjAppendElement(nullptr, answer.get(), list.get());
  Tcl_ListObjAppendElement(nullptr, answer.get(), Tcl_NewBooleanObj(cut));
  Tcl_SetObjResult(interp, answer.get());
}

}  // namespace NcdTcl
