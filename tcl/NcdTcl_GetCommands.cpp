// get_blocks, get_nets, get_rpms, get_pins, get_signals, get_sites.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>

#include "NcdTcl_Error.h"
#include "NcdTcl_Filter.h"
#include "NcdTcl_Index.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Pattern.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Query.h"
#include "NcdTcl_Relations.h"
#include "NcdTcl_Resolve.h"

namespace NcdTcl {

namespace {

enum GetOption {
  kRegexp,
  kNocase,
  kHierarchical,
  kFilter,
  kLimit,
  kQuiet,
  kDesign,
  kOf,
  kObjectType,
  kLeaf,  // get_pins and get_ports only
  kDriver,
  kLoads
};
}  // namespace

const OptionEntry kGetOptions[] = {
    {"-regexp", nullptr, "patterns are regular expressions, anchored at both ends"},
    {"-nocase", nullptr, "match names without regard to case"},
    {"-hierarchical", nullptr, "match the patterns at every level of the hierarchy"},
    {"-filter", "expression", "keep the objects for which the expression holds"},
    {"-limit", "count", "answer at most count objects (0: no limit)"},
    {"-quiet", nullptr, "no warning when nothing matches"},
    {"-design", "handle", "search that design instead of the current one"},
    {"-of_objects", "objects", "the objects related to these, then matched by the patterns"},
    {"-object_type", "kind", "the kind the names of -of_objects are of (block, net, pin, ...)"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

// get_pins and get_ports: the same, then which ends of a net.
const OptionEntry kPinOptions[] = {
    kGetOptions[kRegexp],
    kGetOptions[kNocase],
    kGetOptions[kHierarchical],
    kGetOptions[kFilter],
    kGetOptions[kLimit],
    kGetOptions[kQuiet],
    kGetOptions[kDesign],
    kGetOptions[kOf],
    kGetOptions[kObjectType],
    {"-leaf", nullptr, "only pins of blocks without children (bels, comps without bels)"},
    {"-driver", nullptr, "only pins that drive their net (outputs; top-level inputs)"},
    {"-loads", nullptr, "only pins that load their net (inputs; top-level outputs)"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

namespace {

struct Request {
  const KindInfo& kind;
  const ParsedOptions& options;
  Tcl_Interp* interp;
  std::uint64_t limit = 0;
  int objc = 0;
  Tcl_Obj* const* objv = nullptr;
  bool ports = false;  // get_ports: the top block's pins only
  // What the command's messages call its objects.
  const char* Word() const { return ports ? "port" : kind.word; }
  // Patterns match the objects related to -of_objects at any level: a
  // pattern of one level matches their names.
  MatchMode Mode() const {
    return {options.Has(kRegexp), options.Has(kNocase),
            options.Has(kHierarchical) || options.Has(kOf)};
  }
  bool Full(const ResultList& out) const {
    return limit && static_cast<std::uint64_t>(out.Size()) >= limit;
  }
  // Whether the selected objects are narrowed afterwards: by -filter, or
  // pins by -leaf, -driver, -loads or get_ports' test for a port.
  bool Narrowed() const {
    return options.Has(kFilter) || ports || options.Has(kLeaf) || options.Has(kDriver) ||
           options.Has(kLoads);
  }
  // -limit counts what the narrowing keeps: selections stop early only
  // without one. Most() is how many objects a selection may stop at (0: all).
  std::uint64_t Most() const { return Narrowed() ? 0 : limit; }
  bool Done(const ResultList& out) const { return !Narrowed() && Full(out); }
};

std::uint64_t LimitOf(Tcl_Obj* value) {
  Tcl_WideInt limit = 0;
  if (!value) return 0;
  if (Tcl_GetWideIntFromObj(nullptr, value, &limit) != TCL_OK || limit < 0)
    throw Error(ErrorClass::Option, std::string("bad -limit \"") + Clipped(Tcl_GetString(value)) +
                                        "\": must be a count (0 for none)");
  return static_cast<std::uint64_t>(limit);
}

// What a command's patterns select: paths that match one of them, and the
// objects given as patterns. Candidates are asked in their own order, so a
// result keeps the component's order whatever the order of the patterns.
class PatternSet {
 public:
  // Exact patterns are kept as the paths they name, so that a list of many
  // names costs one lookup per candidate, not one match per name.
  PatternSet(const Request& request, const std::vector<Tcl_Obj*>& patterns) : m_kind(request.kind) {
    for (Tcl_Obj* pattern : patterns) {
      if (KindOf(pattern) == &request.kind) {
        RequireLive(pattern);
        m_ids.insert(CollectableOf(pattern)->GetId().str());
        continue;
      }
      auto path =
          std::make_unique<PathPattern>(request.interp, Tcl_GetString(pattern), request.Mode());
      if (path->IsExact()) {
        m_literals.insert(path->Literal());
        m_needPath = true;
        continue;
      }
      m_patterns.push_back(std::move(path));
      m_needPath = m_needPath || request.Mode().regexp || m_patterns.back()->NeedsCheck(true);
    }
  }
  bool Matches(Tcl_Obj* candidate) const {
    CheckStop();
    UtilI::ITclCollectable* coll = CollectableOf(candidate);
    // Names of one level need only the object's name, which costs less,
    // where the name is its path's last level: not a net's (its path is its
    // top signal's), nor a pin's or signal's name that holds a '/'.
    bool byPath = m_needPath || !m_byName;
    std::string text = byPath ? DisplayName(coll, m_kind) : PropertyText(coll, "Name");
    if (!byPath && text.find('/') != std::string::npos) {
      text = DisplayName(coll, m_kind);
      byPath = true;
    }
    if (m_literals.count(text)) return true;
    for (const auto& pattern : m_patterns)
      if (byPath ? pattern->Matches(text) : pattern->LastLevelMatches(text)) return true;
    return !m_ids.empty() && m_ids.count(coll->GetId().str());
  }

 private:
  const KindInfo& m_kind;
  std::vector<std::unique_ptr<PathPattern>> m_patterns;
  std::unordered_set<std::string> m_literals;  // the paths exact patterns name
  std::unordered_set<std::string> m_ids;
  bool m_needPath = false;
  const bool m_byName = m_kind.kind == Kind::Block || m_kind.kind == Kind::Pin ||
                        m_kind.kind == Kind::Signal || m_kind.kind == Kind::Rpm;
};

bool AllObjects(const Request& request, const std::vector<Tcl_Obj*>& patterns) {
  for (Tcl_Obj* pattern : patterns)
    if (KindOf(pattern) != &request.kind) return false;
  return true;
}

// Adds the candidates that a pattern selects, in the candidates' order,
// then the objects given as patterns that are no candidates (objects of
// another design, say). No patterns select every candidate.
void AddSelected(const Request& request, const ResultList& candidates,
                 const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  PatternSet selection(request, patterns);
  for (Tcl_Obj* candidate : candidates.Items()) {
    if (request.Done(out)) return;
    if (patterns.empty() || selection.Matches(candidate)) out.Add(candidate);
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

// Searches with a match limit; a search that reached it with fewer objects
// than that (hidden nets, which count as matches) is made again without.
void SearchAtMost(Session::Handle& design, SearchQuery query, const std::string& text,
                  ResultList& out) {
  ResultList found(false);
  const std::uint64_t matched = Search(design, query, text, found);
  if (query.limit && matched >= query.limit &&
      static_cast<std::uint64_t>(found.Size()) < query.limit) {
    query.limit = 0;
    ResultList again(false);
    Search(design, query, text, again);
    found.Swap(again);
  }
  for (Tcl_Obj* object : found.Items())
    out.Add(object);
}

// Every object of the kind, in the component's order; `most` (0: all) of
// them where the search can stop there.
void AddEvery(const KindInfo& kind, Session::Handle& design, ResultList& all,
              std::uint64_t most = 0) {
  if (kind.kind == Kind::Site || kind.kind == Kind::ClockRegion)
    return AddDeviceObjects(design, kind, all, most);
  if (!kind.searchType) return AddEveryMember(design, kind, all, most);
  if (kind.kind == Kind::Net) return AddNetsMatching(design, kind, {}, most, all);
  SearchQuery query;
  query.kind = &kind;
  query.limit = most;
  SearchAtMost(design, query, "*", all);
}

// One pattern through the search service: on the objects' names when the
// last level decides (blocks and RPMs, whose name is their path's last
// level), else on their full names; then checked against the path rules
// where the service's answer is wider. -limit stops the search when every
// object it matches is answered (no check, no filter); a search that
// reached its limit with too few (hidden nets) is made again without one.
void SearchOne(const Request& request, Session::Handle& design, const PathPattern& pattern,
               ResultList& out) {
  const bool lastLevel = request.kind.kind != Kind::Net && !pattern.Mode().regexp;
  const bool check = pattern.NeedsCheck(lastLevel);
  SearchQuery query;
  query.kind = &request.kind;
  query.regexp = pattern.Mode().regexp;
  query.nocase = pattern.Mode().nocase;
  query.hierarchical = !lastLevel;
  query.limit = check ? 0 : request.Most();
  ResultList found(false);
  SearchAtMost(design, query, pattern.ServiceText(lastLevel), found);
  for (Tcl_Obj* object : found.Items()) {
    CheckStop();
    if (request.Done(out)) break;
    if (!check || pattern.Matches(DisplayName(CollectableOf(object), request.kind)))
      out.Add(object);
  }
}

// An exact pattern names the objects of one path: looked up by name, not
// searched.
void FindExact(const Request& request, Session::Handle& design, const PathPattern& pattern,
               ResultList& out) {
  ResultList found(false);
  if (!FindAllByName(design, request.kind, pattern.Literal(), found)) {
    if (Tcl_Obj* object = FindByName(design, request.kind, pattern.Literal())) found.Add(object);
  }
  out.Swap(found);  // each object once; -limit is applied to the answer
}

// A glob without -hierarchical is a path from the top: the blocks, pins or
// signals it can match lie at its depth below the blocks its first levels
// match, so the walk asks only the children of matching blocks, level by
// level, from the deepest block its leading levels name. A pin or signal
// glob with -hierarchical matches the last levels of every member's path:
// one walk of the view answers it, making objects of the matches only
// (NcdTcl_Index.h). False when no such walk answers the pattern.
bool WalkByBlocks(const Request& request, Session::Handle& design, const PathPattern& pattern,
                  ResultList& out) {
  const Kind kind = request.kind.kind;
  const bool member = kind == Kind::Pin || kind == Kind::Signal;
  if (pattern.Mode().regexp || !(member || kind == Kind::Block)) return false;
  ResultList found(false);
  const std::uint64_t most = request.Most();
  if (!pattern.Mode().hierarchical) {
    if (!AddAlongPath(design, request.kind, pattern, most, found)) return false;
  } else if (!member || !AddMembersNamed(design, request.kind, pattern, most, found)) {
    return false;
  }
  out.Swap(found);  // each object once, at most -limit of them
  return true;
}

// A block glob with -hierarchical matches the last levels of every
// block's path, a net glob the path each net prints as (from the top, or
// its last levels with -hierarchical): one walk of the view's blocks or
// networks answers it (NcdTcl_Index.h).
bool WalksView(const Request& request, const PathPattern& pattern) {
  const Kind kind = request.kind.kind;
  return !pattern.Mode().regexp &&
         (kind == Kind::Net || (kind == Kind::Block && request.options.Has(kHierarchical)));
}

// `globs` as one walk of the view (WalksView holds for each). The walk
// meets each object once and stops at -limit, so its list is the answer:
// it replaces `out`, which is empty, without the check for repeats that
// several patterns otherwise need.
void WalkView(const Request& request, Session::Handle& design,
              std::span<const PathPattern* const> globs, ResultList& out) {
  ResultList found(false);
  const std::uint64_t most = request.Most();
  if (request.kind.kind == Kind::Net)
    AddNetsMatching(design, request.kind, globs, most, found);
  else
    AddBlocksBelowAny(design, request.kind, *globs.front(), most, found);
  out.Swap(found);
}

// Several net globs, and no net given as a pattern, are answered by one walk
// over the view's networks as one glob is.
bool WalkNets(const Request& request, Session::Handle& design,
              const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  if (request.kind.kind != Kind::Net || request.Mode().regexp) return false;
  std::vector<std::unique_ptr<PathPattern>> globs;
  std::vector<const PathPattern*> walked;
  std::unordered_set<std::string> paths;  // those of exact patterns: no match per name
  for (Tcl_Obj* pattern : patterns) {
    if (KindOf(pattern) == &request.kind) return false;
    globs.push_back(
        std::make_unique<PathPattern>(request.interp, Tcl_GetString(pattern), request.Mode()));
    if (globs.back()->IsExact())
      paths.insert(globs.back()->Literal());
    else
      walked.push_back(globs.back().get());
  }
  ResultList found(false);
  AddNetsMatching(design, request.kind, walked, request.Most(), found, &paths);
  out.Swap(found);
  return true;
}

// Several patterns that are all exact name the objects of their paths:
// looked up, not searched (blocks, pins and signals, which a search would
// walk object by object).
bool FindEachExact(const Request& request, Session::Handle& design,
                   const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  std::vector<std::string> names;
  for (Tcl_Obj* pattern : patterns) {
    if (KindOf(pattern)) return false;
    const PathPattern path(request.interp, Tcl_GetString(pattern), request.Mode());
    if (!path.IsExact()) return false;
    names.push_back(path.Literal());
  }
  ResultList found(false);
  if (!FindEachByName(design, request.kind, names, found)) return false;
  out.Swap(found);  // each object once; -limit is applied to the answer
  return true;
}

// Whether every pattern names one path (no object given among them).
bool AllExact(const Request& request, const std::vector<Tcl_Obj*>& patterns) {
  return std::all_of(patterns.begin(), patterns.end(), [&](Tcl_Obj* pattern) {
    return !KindOf(pattern) &&
           PathPattern(request.interp, Tcl_GetString(pattern), request.Mode()).IsExact();
  });
}

// Adds what the patterns select to `out`, which is empty.
void SearchPatterns(const Request& request, Session::Handle& design,
                    const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  if (patterns.size() > 1 && FindEachExact(request, design, patterns, out)) return;
  if (patterns.size() == 1) {
    const PathPattern pattern(request.interp, Tcl_GetString(patterns.front()), request.Mode());
    if (pattern.IsExact()) return FindExact(request, design, pattern, out);
    if (WalkByBlocks(request, design, pattern, out)) return;
    if (WalksView(request, pattern)) {
      const PathPattern* walked[] = {&pattern};
      return WalkView(request, design, walked, out);
    }
    if (request.kind.searchType && !pattern.IsSlow())
      return SearchOne(request, design, pattern, out);
  }
  if (WalkNets(request, design, patterns, out)) return;
  ResultList all(false);
  AddEvery(request.kind, design, all);
  AddSelected(request, all, patterns, out);
}

void RelatedTo(Session& session, const Request& request, Session::Handle* named,
               Session::Handle* design, ResultList& out) {
  ResultList sources(false);
  Resolution how;
  how.kinds = KindsOf(request.options.Value(kObjectType), SourceKinds(request.kind.kind));
  how.byPrecedence = true;
  how.design = named;
  how.objc = request.objc;
  how.objv = request.objv;
  ResolveObjects(session, request.options.Value(kOf), how, sources);
  std::vector<Tcl_Obj*> backwards;
  for (Tcl_Obj* source : sources.Items()) {
    CheckStop();
    RequireLive(source);
    if (IsBackwards(request.kind.kind, KindOf(source)->kind)) {
      backwards.push_back(source);
    } else if (!design && request.kind.kind == Kind::ClockRegion) {
      // A site names its region, which only a design's regions answer.
      AddRelated(source, request.kind, out, &session.Current());  // NCD STATE without one
    } else {
      AddRelated(source, request.kind, out, design);
    }
  }
  if (backwards.empty()) return;
  // Only the blocks placed there are asked for their site.
  std::unordered_set<std::string> cells, regions;
  PlacementNames(backwards, cells, regions);
  ResultList blocks(false);
  AddPlacedOn(design ? *design : session.Current(), request.kind, cells, regions,
              blocks);  // NCD STATE without one
  AddReachingBlocks(backwards, blocks, out);
}

// One warning line on standard error, as the searches write them.
void WarnLine(Tcl_Obj* command, const std::string& text) {
  if (Tcl_Channel channel = Tcl_GetStdChannel(TCL_STDERR))
    Tcl_WriteChars(channel,
                   (std::string("warning: ") + Tcl_GetString(command) + ": " + text + "\n").c_str(),
                   -1);
}

bool ReadsDelays(const Filter& filter) {
  return filter.Reads("Max Delay") || filter.Reads("Skew Value");
}

// Answers whether it warned of a value no object has.
bool ApplyFilter(Session& session, const Request& request, ResultList& results) {
  Filter filter(Tcl_GetString(request.options.Value(kFilter)));
  if (ReadsDelays(filter)) session.EnableTiming();
  ResultList kept(false);
  std::vector<Tcl_Obj*> items = results.Items();
  std::vector<UtilI::ITclCollectable*> asked;
  asked.reserve(items.size());
  for (Tcl_Obj* item : items) {
    CheckStop();
    asked.push_back(CollectableOf(item));
    if (request.Full(kept)) continue;
    if (filter.Accepts(asked.back())) kept.Add(item);
  }
  filter.CheckProperties(asked);
  bool warned = false;
  if (!request.options.Has(kQuiet))
    for (const std::string& line : filter.UnknownValues(request.Word())) {
      WarnLine(request.objv[0], line);
      warned = true;
    }
  results.Swap(kept);
  return warned;
}

// Each argument is a pattern, or a list of patterns: a bare word is one
// pattern as it is, so that its backslashes stay (r\[1\]); an argument
// with blanks, braced or quoted, or made as a list, is a list
// ({r\[1\] r\[2\]}, [list $a $b]) unless it is exactly the name of an
// object of the kind ("two words").
bool IsBareWord(Tcl_Obj* word) {
  if (word->typePtr && !std::strcmp(word->typePtr->name, "list")) return false;  // made as a list
  const char* text = Tcl_GetString(word);
  return *text != '{' && *text != '"' && !std::strpbrk(text, " \t\n\r\f\v");
}

std::vector<Tcl_Obj*> PatternsOf(const Request& request, Session::Handle* design,
                                 ResultList& named) {
  std::vector<Tcl_Obj*> patterns;
  for (Tcl_Obj* arg : request.options.Args()) {
    if (KindOf(arg) || IsBareWord(arg)) {
      patterns.push_back(arg);
      continue;
    }
    if (design && !request.options.Has(kRegexp) && arg->bytes) {  // not made as a list
      if (Tcl_Obj* object = FindByName(*design, request.kind, Tcl_GetString(arg))) {
        named.Add(object);  // appended as it is: `named` keeps every value
        patterns.push_back(object);
        continue;
      }
    }
    int count = 0;
    Tcl_Obj** elements = nullptr;
    if (Tcl_ListObjGetElements(nullptr, arg, &count, &elements) != TCL_OK)
      throw Error(ErrorClass::Option,
                  std::string("bad pattern list: ") + Clipped(Tcl_GetString(arg)));
    for (int i = 0; i < count; ++i)
      patterns.push_back(Unwrapped(elements[i]));
  }
  return patterns;
}

// "warning: ncd::get_nets: no net matches {clk* rst}" (the list clipped;
// get_ports: "no port matches").
void Warn(const Request& request, Tcl_Obj* command, const ParsedOptions& options) {
  TclRef words(Tcl_NewListObj(options.ArgCount(), options.Args().data()));
  std::string line = std::string("no ") + request.Word() + " matches";
  if (options.ArgCount()) line += " " + Clipped(Tcl_GetString(words.get()));
  WarnLine(command, line);
}

// The design searched, or null where only -of_objects objects are asked
// and no design is ready.
Session::Handle* DesignOf(Session& session, const ParsedOptions& options) {
  if (options.Has(kDesign)) return &session.Ready(options.Value(kDesign));
  if (options.Has(kOf)) {
    try {
      return &session.Current();
    } catch (const Error&) {
      return nullptr;
    }
  }
  return &session.Current();
}

// -leaf, -driver and -loads of get_pins; get_ports keeps the ports only.
void KeepEnds(const Request& request, ResultList& pins) {
  const ParsedOptions& options = request.options;
  if (!request.ports && !options.Has(kLeaf) && !options.Has(kDriver) && !options.Has(kLoads))
    return;
  ResultList kept(false);
  for (Tcl_Obj* pin : pins.Items()) {
    CheckStop();
    if ((request.ports && !IsPort(pin)) || (options.Has(kLeaf) && !IsLeaf(pin)) ||
        (options.Has(kDriver) && !IsEnd(pin, true)) || (options.Has(kLoads) && !IsEnd(pin, false)))
      continue;
    kept.Add(pin);
  }
  pins.Swap(kept);
}

void Select(Session& session, const Request& request, Session::Handle* design,
            const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  if (request.options.Has(kOf)) {
    ResultList related(true);
    RelatedTo(session, request, request.options.Has(kDesign) ? design : nullptr, design, related);
    return AddSelected(request, related, patterns, out);
  }
  if (request.ports) {
    // Names of ports are pins' names: looked up, and the ports kept (KeepEnds).
    if (!patterns.empty() && AllExact(request, patterns))
      return SearchPatterns(request, *design, patterns, out);
    ResultList ports(false);
    TclRef top(TopBlock(*design));
    AddRelated(top.get(), request.kind, ports);
    return AddSelected(request, ports, patterns, out);
  }
  if (patterns.empty())
    return AddEvery(request.kind, *design, out, request.Most());
  if (AllObjects(request, patterns)) return AddObjects(request, patterns, out);
  SearchPatterns(request, *design, patterns, out);
}

}  // namespace

void GetObjectsOfKind(Kind kindName, Session& session, Tcl_Interp* interp, int objc,
                      Tcl_Obj* const objv[], bool ports) {
  const KindInfo& kind = InfoOf(kindName);
  ParsedOptions options =
      ParseOptions(interp, objc, objv, kindName == Kind::Pin ? kPinOptions : kGetOptions);
  Request request{kind, options, interp, LimitOf(options.Value(kLimit)), objc, objv, ports};
  Session::Handle* design = DesignOf(session, options);
  ResultList named(false);
  std::vector<Tcl_Obj*> patterns = PatternsOf(request, design, named);
  // Candidates are unique; several patterns, or an object given as one,
  // can select an object twice.
  ResultList out(patterns.size() > 1 || (!patterns.empty() && KindOf(patterns.front()) == &kind));
  Select(session, request, design, patterns, out);
  if (kindName == Kind::Pin) KeepEnds(request, out);
  // A value no object has is warned of once: the warning says why nothing matched.
  const bool warned = options.Has(kFilter) && ApplyFilter(session, request, out);
  if (request.limit)
    out.Truncate(static_cast<int>(std::min<std::uint64_t>(request.limit, INT32_MAX)));
  if (!out.Size() && !options.Has(kQuiet) && !warned) Warn(request, objv[0], options);
  out.SetResult(interp);
}

}  // namespace NcdTcl
