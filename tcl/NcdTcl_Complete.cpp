#include "NcdTcl_Complete.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "NcdTcl_Commands.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Help.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Relations.h"

namespace NcdTcl {

const OptionEntry kCompleteOptions[] = {
    {"-limit", "count", "answer at most count completions (200 by default)"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

// ---- names ----

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

std::vector<std::string> AllNames(Session::Handle& design, const KindInfo& kind) {
  ResultList all(false);
  if (kind.kind == Kind::Site || kind.kind == Kind::ClockRegion) {
    AddDeviceObjects(design, kind, all);
  } else {
    SearchQuery query;
    query.kind = &kind;
    query.hierarchical = true;
    Search(design, query, "*", all);
  }
  std::vector<std::string> names;
  names.reserve(all.Size());
  for (Tcl_Obj* item : all.Items())
    names.push_back(DisplayName(CollectableOf(item), kind));
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

// A pin is completed as block/pin: the pins of the block the prefix names.
void AddPinsOf(Session::Handle& design, const std::string& prefix, std::vector<std::string>& out) {
  const std::size_t slash = prefix.rfind('/');
  if (slash == std::string::npos) return;
  ResultList holder(false);
  Tcl_Obj* block = BlockAt(design, prefix.substr(0, slash), holder);
  if (!block) return;
  ResultList pins(false);
  AddRelated(block, InfoOf(Kind::Pin), pins);
  for (Tcl_Obj* pin : pins.Items()) {
    std::string name = DisplayName(CollectableOf(pin), InfoOf(Kind::Pin));
    if (!name.compare(0, prefix.size(), prefix)) out.push_back(name);
  }
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
                                         std::size_t most) {
  std::vector<std::string> out;
  if (kind.kind == Kind::Block || kind.kind == Kind::Pin) {
    out = BlocksWithPrefix(design, prefix);
    if (kind.kind == Kind::Pin) AddPinsOf(design, prefix, out);
  } else {
    // Signals go by their nets' names.
    const Kind source = kind.kind == Kind::Signal ? Kind::Net : kind.kind;
    out = IndexedWithPrefix(SortedNames(interp, design, InfoOf(source)), prefix, most);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  if (out.size() > most) out.resize(most);
  return out;
}

// ---- the line ----

namespace {

// The command the line ends in, as words: the last is the word being
// typed (empty after a blank). `braced` is set when the line ends inside a
// braced word, whose text is then the last word.
struct Line {
  std::vector<std::string> words;
  bool braced = false;
  std::string word;  // the end of the last word after its last break character
};

// Where the command the line ends in begins: after the last "[", ";" or
// newline that is not closed or braced.
std::size_t CommandStart(const std::string& text) {
  std::vector<std::size_t> starts{0};
  int braces = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      ++i;
    } else if (c == '{') {
      ++braces;
    } else if (c == '}') {
      braces -= braces > 0;
    } else if (!braces && c == '[') {
      starts.push_back(i + 1);
    } else if (!braces && c == ']' && starts.size() > 1) {
      starts.pop_back();
    } else if (!braces && (c == ';' || c == '\n')) {
      starts.back() = i + 1;
    }
  }
  return starts.back();
}

Line Split(const std::string& text) {
  Line line;
  std::string current;
  int braces = 0;
  bool inWord = false;
  for (char c : text.substr(CommandStart(text))) {
    if (!braces && std::isspace(static_cast<unsigned char>(c))) {
      if (inWord) line.words.push_back(current);
      current.clear();
      inWord = false;
      continue;
    }
    braces += c == '{' ? 1 : c == '}' && braces ? -1 : 0;
    current += c;
    inWord = true;
  }
  line.words.push_back(current);
  line.braced = braces > 0;
  const std::size_t cut = current.find_last_of(kCompletionBreaks);
  line.word = cut == std::string::npos ? current : current.substr(cut + 1);
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

  void Offer(const std::string& candidate) {
    if (!candidate.compare(0, word.size(), word)) out.push_back(candidate);
  }
  const KindInfo* CommandKind() const {
    return entry && entry->kind ? KindOfWord(entry->kind) : nullptr;
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

void PropertiesOfKind(Context& c, const KindInfo& kind) {
  ResultList holder(false);
  for (const std::string& name : PropertyNames(CollectableOf(PrototypeOf(c.session, kind, holder))))
    c.Offer(ScriptName(name));
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

void NamesOf(Context& c, const KindInfo& kind) {
  Session::Handle& design = c.session.Current();
  for (std::string& name : NamesWithPrefix(c.interp, design, kind, c.word, c.most))
    c.out.push_back(std::move(name));
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

void Patterns(Context& c) {
  if (c.entry && !std::strcmp(c.entry->name, "help")) {
    CommandNames(c);
    for (const char* topic : HelpTopicNames())
      c.Offer(topic);
    return;
  }
  Objects(c);
}

// What completes an argument or an option's value, by the word the
// synopsis names it with.
const struct {
  const char* word;
  void (*complete)(Context&);
} kCompleters[] = {
    {"handle", Handles},        {"name", Properties},
    {"expression", Properties}, {"object", Objects},
    {"objects", Objects},       {"blocks", Objects},
    {"nets", Objects},          {"object_or_kind", ObjectsOrKinds},
    {"kind", KindWords},        {"pattern", Patterns},
    {"service", Services},      {"command", CommandNames},
};

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
    if (option && option->valueName && ++i + 1 == words.size())
      return CompleteAs(c, option->valueName);
  }
  CompleteAs(c, ArgumentWord(*c.entry, positional));
}

void CompleteLine(Context& c, const Line& line) {
  if (line.words.size() == 1 && !line.braced) {
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
  if (!c.entry) return;
  if (line.braced) {
    // Inside a braced word: a -filter expression completes property names.
    if (line.words.size() >= 2 && line.words[line.words.size() - 2] == "-filter")
      CompleteAs(c, "expression");
    return;
  }
  CompleteArgument(c, line);
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
  const Line line = Split(Tcl_GetString(options.Arg(0)));
  std::vector<std::string> out;
  Context context{session,
                  interp,
                  CommandNamed(BareCommand(line.words.front()).c_str()),
                  line.word,
                  static_cast<std::size_t>(most),
                  out};
  CompleteLine(context, line);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  if (out.size() > context.most) out.resize(context.most);
  TclRef list(Tcl_NewListObj(0, nullptr));
  for (const std::string& candidate : out)
    Tcl_ListObjAppendElement(nullptr, list.get(), Tcl_NewStringObj(candidate.c_str(), -1));
  Tcl_SetObjResult(interp, list.get());
}

}  // namespace NcdTcl
