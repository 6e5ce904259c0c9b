// get_blocks, get_nets, get_rpms, get_pins, get_signals, get_sites.
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>

#include "NcdTcl_Error.h"
#include "NcdTcl_Filter.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Query.h"
#include "NcdTcl_Relations.h"

namespace NcdTcl {

namespace {

enum GetOption { kRegexp, kNocase, kHierarchical, kFilter, kLimit, kQuiet, kDesign, kOf };
const OptionEntry kGetOptions[] = {{"-regexp"},
                                   {"-nocase"},
                                   {"-hierarchical"},
                                   {"-filter", "expression"},
                                   {"-limit", "count"},
                                   {"-quiet"},
                                   {"-design", "handle"},
                                   {"-of_objects", "objects"},
                                   {"--"},
                                   {nullptr}};

// How names are matched where the search service is not asked (pins,
// signals, sites, and the results of -of_objects): with Tcl's own glob and
// regular-expression matchers, on the name or (-hierarchical) full name.
class NameMatcher {
 public:
  NameMatcher(Tcl_Interp* interp, const ParsedOptions& options, Tcl_Obj* pattern)
      : m_interp(interp),
        m_pattern(pattern),
        m_nocase(options.Has(kNocase)),
        m_full(options.Has(kHierarchical)) {
    if (!options.Has(kRegexp)) return;
    m_regexp =
        Tcl_GetRegExpFromObj(interp, pattern, TCL_REG_ADVANCED | (m_nocase ? TCL_REG_NOCASE : 0));
    if (!m_regexp)
      throw Error(ErrorClass::Option, std::string("bad pattern \"") + Tcl_GetString(pattern) +
                                          "\": " + Tcl_GetString(Tcl_GetObjResult(interp)));
  }

  bool Matches(Tcl_Obj* object) const {
    const KindInfo& kind = *KindOf(object);
    UtilI::ITclCollectable* coll = CollectableOf(object);
    const bool device = kind.kind == Kind::Site || kind.kind == Kind::ClockRegion;
    const std::string text =
        device || m_full ? DisplayName(coll, kind) : PropertyText(coll, "Name");
    if (!m_regexp)
      return Tcl_StringCaseMatch(text.c_str(), Tcl_GetString(m_pattern),
                                 m_nocase ? TCL_MATCH_NOCASE : 0);
    Tcl_Obj* subject = Tcl_NewStringObj(text.c_str(), static_cast<int>(text.size()));
    Tcl_IncrRefCount(subject);
    const int matched = Tcl_RegExpExecObj(m_interp, m_regexp, subject, 0, 0, 0);
    Tcl_DecrRefCount(subject);
    return matched == 1;
  }

 private:
  Tcl_Interp* m_interp;
  Tcl_Obj* m_pattern;
  bool m_nocase;
  bool m_full;
  Tcl_RegExp m_regexp = nullptr;
};

struct Request {
  const KindInfo& kind;
  const ParsedOptions& options;
  Tcl_Interp* interp;
  std::uint64_t limit = 0;
  bool Full(const ResultList& out) const {
    return limit && static_cast<std::uint64_t>(out.Size()) >= limit;
  }
  // -limit counts what -filter keeps: selections stop early only without one.
  bool Done(const ResultList& out) const { return !options.Has(kFilter) && Full(out); }
};

std::uint64_t LimitOf(Tcl_Obj* value) {
  Tcl_WideInt limit = 0;
  if (!value) return 0;
  if (Tcl_GetWideIntFromObj(nullptr, value, &limit) != TCL_OK || limit < 0)
    throw Error(ErrorClass::Option, std::string("bad -limit \"") + Tcl_GetString(value) +
                                        "\": must be a count (0 for none)");
  return static_cast<std::uint64_t>(limit);
}

// What a command's patterns select: names that match one of them, and the
// objects given as patterns. Candidates are asked in their own order, so a
// result keeps the component's order whatever the order of the patterns.
class PatternSet {
 public:
  PatternSet(const Request& request, const std::vector<Tcl_Obj*>& patterns) {
    for (Tcl_Obj* pattern : patterns) {
      if (KindOf(pattern) == &request.kind) {
        RequireLive(pattern);
        m_ids.insert(CollectableOf(pattern)->GetId().str());
      } else {
        m_matchers.push_back(
            std::make_unique<NameMatcher>(request.interp, request.options, pattern));
      }
    }
  }
  bool Matches(Tcl_Obj* candidate) const {
    for (const auto& matcher : m_matchers)
      if (matcher->Matches(candidate)) return true;
    return !m_ids.empty() && m_ids.count(CollectableOf(candidate)->GetId().str());
  }

 private:
  std::vector<std::unique_ptr<NameMatcher>> m_matchers;
  std::unordered_set<std::string> m_ids;
};

bool AllObjects(const Request& request, const std::vector<Tcl_Obj*>& patterns) {
  for (Tcl_Obj* pattern : patterns)
    if (KindOf(pattern) != &request.kind) return false;
  return true;
}

// Adds the candidates that a pattern selects, in the candidates' order,
// then the objects given as patterns that are no candidates (objects of
// another design, say).
void AddSelected(const Request& request, const ResultList& candidates,
                 const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  PatternSet selection(request, patterns);
  for (Tcl_Obj* candidate : candidates.Items()) {
    if (request.Done(out)) return;
    if (selection.Matches(candidate)) out.Add(candidate);
  }
  for (Tcl_Obj* pattern : patterns)
    if (KindOf(pattern) == &request.kind && !request.Done(out)) out.Add(pattern);
}

// Objects given as the only patterns stand for themselves: nothing is searched.
void AddObjects(const Request& request, const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  for (Tcl_Obj* pattern : patterns) {
    RequireLive(pattern);
    if (!request.Done(out)) out.Add(pattern);
  }
}

// Every pin or signal of the design (members of every block), or every site.
void AddAllCandidates(const Request& request, Session::Handle& design, ResultList& all) {
  if (request.kind.kind == Kind::Site) return AddDeviceObjects(design, request.kind, all);
  SearchQuery query;
  query.kind = &InfoOf(Kind::Block);
  ResultList blocks(false);
  Search(design, query, "*", blocks);
  for (Tcl_Obj* block : blocks.Items())
    AddRelated(block, request.kind, all);
}

// One pattern goes to the search service, with -limit as the search's
// match limit when no filter comes after; several go over every object of
// the kind, in the design's order.
void SearchPatterns(const Request& request, Session::Handle& design,
                    const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  SearchQuery query;
  query.kind = &request.kind;
  if (patterns.size() > 1) {
    ResultList all(false);
    Search(design, query, "*", all);
    return AddSelected(request, all, patterns, out);
  }
  query.regexp = request.options.Has(kRegexp);
  query.nocase = request.options.Has(kNocase);
  query.hierarchical = request.options.Has(kHierarchical);
  query.limit = request.options.Has(kFilter) ? 0 : request.limit;
  Search(design, query, Tcl_GetString(patterns.front()), out);
}

void RelatedTo(Session& session, const Request& request, Session::Handle* design, ResultList& out) {
  ResultList sources(false);
  ResolveObjects(session, request.options.Value(kOf), SourceKinds(request.kind.kind), sources,
                 design);
  for (Tcl_Obj* source : sources.Items()) {
    RequireLive(source);
    AddRelated(source, request.kind, out);
  }
}

void ApplyFilter(const Request& request, ResultList& results) {
  Filter filter(request.interp, Tcl_GetString(request.options.Value(kFilter)));
  ResultList kept(false);
  std::vector<Tcl_Obj*> items = results.Items();
  std::vector<UtilI::ITclCollectable*> asked;
  asked.reserve(items.size());
  for (Tcl_Obj* item : items) {
    asked.push_back(CollectableOf(item));
    if (request.Full(kept)) continue;
    if (filter.Accepts(asked.back())) kept.Add(item);
  }
  filter.CheckProperties(asked);
  results.Swap(kept);
}

// Each argument is a pattern, or a list of patterns: a bare word is one
// pattern as it is, so that its backslashes stay (r\[1\]); an argument
// with blanks, braced or quoted, or made as a list, is a list
// ({r\[1\] r\[2\]}, [list $a $b]).
bool IsBareWord(Tcl_Obj* word) {
  if (word->typePtr && !std::strcmp(word->typePtr->name, "list")) return false;  // made as a list
  const char* text = Tcl_GetString(word);
  return *text != '{' && *text != '"' && !std::strpbrk(text, " \t\n\r\f\v");
}

// An option written after the patterns would be taken for a pattern.
void RefuseLateOption(Tcl_Obj* word) {
  const char* text = Tcl_GetString(word);
  for (const OptionEntry* entry = kGetOptions; entry->name && *text == '-'; ++entry)
    if (!std::strcmp(entry->name, text) && std::strcmp(text, "--"))
      throw Error(ErrorClass::Option, std::string("option \"") + text +
                                          "\" after the patterns: options come first (-- before a "
                                          "pattern that starts with -)");
}

std::vector<Tcl_Obj*> PatternsOf(int objc, Tcl_Obj* const objv[], int first) {
  std::vector<Tcl_Obj*> patterns;
  const bool dashes = first > 1 && !std::strcmp(Tcl_GetString(objv[first - 1]), "--");
  for (int i = first; i < objc; ++i) {
    if (!dashes) RefuseLateOption(objv[i]);
    if (KindOf(objv[i]) || IsBareWord(objv[i])) {
      patterns.push_back(objv[i]);
      continue;
    }
    int count = 0;
    Tcl_Obj** elements = nullptr;
    if (Tcl_ListObjGetElements(nullptr, objv[i], &count, &elements) != TCL_OK)
      throw Error(ErrorClass::Option, std::string("bad pattern list: ") + Tcl_GetString(objv[i]));
    patterns.insert(patterns.end(), elements, elements + count);
  }
  return patterns;
}

// One line on standard error: "warning: ncd::get_nets: no net matches {clk* rst}".
void Warn(const KindInfo& kind, int objc, Tcl_Obj* const objv[], int first) {
  Tcl_Channel channel = Tcl_GetStdChannel(TCL_STDERR);
  if (!channel) return;
  TclRef words(Tcl_NewListObj(objc - first, objv + first));
  std::string line =
      std::string("warning: ") + Tcl_GetString(objv[0]) + ": no " + kind.word + " matches";
  if (objc > first) line += std::string(" ") + Tcl_GetString(words.get());
  Tcl_WriteChars(channel, (line + "\n").c_str(), -1);
}

}  // namespace

void GetObjectsOfKind(Kind kindName, Session& session, Tcl_Interp* interp, int objc,
                      Tcl_Obj* const objv[]) {
  const KindInfo& kind = InfoOf(kindName);
  ParsedOptions options = ParseOptions(interp, objc, objv, kGetOptions);
  Request request{kind, options, interp, LimitOf(options.Value(kLimit))};
  std::vector<Tcl_Obj*> patterns = PatternsOf(objc, objv, options.First());
  TclRef all(Tcl_NewStringObj("*", 1));
  if (patterns.empty()) patterns.push_back(all.get());
  Session::Handle* design = options.Has(kDesign) ? &session.Ready(options.Value(kDesign)) : nullptr;
  // Candidates are unique; several patterns, or an object given as one,
  // can select an object twice.
  ResultList out(patterns.size() > 1 || KindOf(patterns.front()) == &kind);
  if (options.Has(kOf)) {
    ResultList related(true);
    RelatedTo(session, request, design, related);
    AddSelected(request, related, patterns, out);
  } else if (AllObjects(request, patterns)) {
    AddObjects(request, patterns, out);
  } else {
    Session::Handle& searched = design ? *design : session.Current();
    if (kind.searchType) {
      SearchPatterns(request, searched, patterns, out);
    } else {
      ResultList all(false);
      AddAllCandidates(request, searched, all);
      AddSelected(request, all, patterns, out);
    }
  }
  if (options.Has(kFilter)) ApplyFilter(request, out);
  if (!out.Size() && !options.Has(kQuiet)) Warn(kind, objc, objv, options.First());
  out.SetResult(interp);
}

}  // namespace NcdTcl
