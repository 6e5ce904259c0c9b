// get_blocks, get_nets, get_rpms, get_pins, get_signals, get_sites.
#include <string>

#include "NcdTcl_Error.h"
#include "NcdTcl_Filter.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Query.h"
#include "NcdTcl_Relations.h"
#include "NcdTcl_Services.h"

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
      : m_pattern(pattern), m_nocase(options.Has(kNocase)), m_full(options.Has(kHierarchical)) {
    if (!options.Has(kRegexp)) return;
    m_regexp =
        Tcl_GetRegExpFromObj(interp, pattern, TCL_REG_ADVANCED | (m_nocase ? TCL_REG_NOCASE : 0));
    if (!m_regexp) throw Error(ErrorClass::Option, Tcl_GetString(Tcl_GetObjResult(interp)));
  }

  bool Matches(Tcl_Interp* interp, Tcl_Obj* object) const {
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
    const int matched = Tcl_RegExpExecObj(interp, m_regexp, subject, 0, 0, 0);
    Tcl_DecrRefCount(subject);
    return matched == 1;
  }

 private:
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
};

std::uint64_t LimitOf(Tcl_Interp* interp, Tcl_Obj* value) {
  Tcl_WideInt limit = 0;
  if (!value) return 0;
  if (Tcl_GetWideIntFromObj(nullptr, value, &limit) != TCL_OK || limit < 0)
    throw Error(ErrorClass::Option, std::string("bad -limit \"") + Tcl_GetString(value) +
                                        "\": must be a count (0 for none)");
  (void)interp;
  return static_cast<std::uint64_t>(limit);
}

// Adds the candidates that match one pattern.
void AddMatching(const Request& request, const std::vector<Tcl_Obj*>& candidates, Tcl_Obj* pattern,
                 ResultList& out) {
  NameMatcher matcher(request.interp, request.options, pattern);
  for (Tcl_Obj* candidate : candidates) {
    if (request.Full(out)) return;
    if (matcher.Matches(request.interp, candidate)) out.Add(candidate);
  }
}

// Every pin or signal of the design (members of every block), or every site.
void AddAllCandidates(const Request& request, Session::Handle& design, ResultList& all) {
  if (request.kind.kind == Kind::Site) {
    Device device = DeviceOf(*design.design);
    CommonI::RefCountPtr<UtilI::IStringContainer> names;
    CommonI::RefCountPtr<UtilI::IStringIterator> it;
    if (device.sites->GetSiteNames(names) && names) names->CreateIterator(it);
    for (; it && !it->IsDone(); it->Next()) {
      CollRef site;
      if (device.sites->FindSite(site, it->GetCurrent()) && site)
        all.Add(NewObject(site.get(), &request.kind));
    }
    return;
  }
  SearchSpec spec;
  spec.kind = &InfoOf(Kind::Block);
  ResultList blocks(false);
  Search(design, spec, "*", blocks);
  for (Tcl_Obj* block : blocks.Items())
    AddRelated(block, request.kind, all);
}

// Patterns given as object values of the kind are taken as they are.
bool TakeObjects(const Request& request, Tcl_Obj* pattern, ResultList& out) {
  if (KindOf(pattern) != &request.kind) return false;
  RequireLive(pattern);
  out.Add(pattern);
  return true;
}

void SearchPatterns(const Request& request, Session::Handle& design,
                    const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  SearchSpec spec;
  spec.kind = &request.kind;
  spec.regexp = request.options.Has(kRegexp);
  spec.nocase = request.options.Has(kNocase);
  spec.hierarchical = request.options.Has(kHierarchical);
  for (Tcl_Obj* pattern : patterns) {
    if (request.Full(out) || TakeObjects(request, pattern, out)) continue;
    spec.limit = request.limit ? request.limit - out.Size() : 0;
    Search(design, spec, Tcl_GetString(pattern), out);
  }
}

void MatchPatterns(const Request& request, const ResultList& candidates,
                   const std::vector<Tcl_Obj*>& patterns, ResultList& out) {
  const std::vector<Tcl_Obj*> items = candidates.Items();
  for (Tcl_Obj* pattern : patterns)
    if (!TakeObjects(request, pattern, out)) AddMatching(request, items, pattern, out);
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
  for (Tcl_Obj* item : items)
    if (filter.Accepts(CollectableOf(item))) kept.Add(item);
  if (!items.empty()) filter.CheckProperties(CollectableOf(items.front()));
  results.Reset();
  for (Tcl_Obj* item : kept.Items())
    results.Add(item);
}

std::vector<Tcl_Obj*> PatternsOf(int objc, Tcl_Obj* const objv[], int first) {
  std::vector<Tcl_Obj*> patterns;
  for (int i = first; i < objc; ++i) {
    if (KindOf(objv[i])) {
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

void GetObjects(const KindInfo& kind, Session& session, Tcl_Interp* interp, int objc,
                Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kGetOptions);
  Request request{kind, options, interp, LimitOf(interp, options.Value(kLimit))};
  std::vector<Tcl_Obj*> patterns = PatternsOf(objc, objv, options.First());
  TclRef all(Tcl_NewStringObj("*", 1));
  if (patterns.empty()) patterns.push_back(all.get());
  Session::Handle* design = options.Has(kDesign) ? &session.Ready(options.Value(kDesign)) : nullptr;
  ResultList out(patterns.size() > 1 || options.Has(kOf));
  if (options.Has(kOf)) {
    ResultList related(true);
    RelatedTo(session, request, design, related);
    MatchPatterns(request, related, patterns, out);
  } else {
    Session::Handle& searched = design ? *design : session.Current();
    if (kind.searchType) {
      SearchPatterns(request, searched, patterns, out);
    } else {
      ResultList all(false);
      AddAllCandidates(request, searched, all);
      MatchPatterns(request, all, patterns, out);
    }
  }
  if (options.Has(kFilter)) ApplyFilter(request, out);
  if (!out.Size() && !options.Has(kQuiet)) Warn(kind, objc, objv, options.First());
  out.SetResult(interp);
}

}  // namespace

void GetBlocks(Session& s, Tcl_Interp* i, int c, Tcl_Obj* const v[]) {
  GetObjects(InfoOf(Kind::Block), s, i, c, v);
}
void GetNets(Session& s, Tcl_Interp* i, int c, Tcl_Obj* const v[]) {
  GetObjects(InfoOf(Kind::Net), s, i, c, v);
}
void GetRpms(Session& s, Tcl_Interp* i, int c, Tcl_Obj* const v[]) {
  GetObjects(InfoOf(Kind::Rpm), s, i, c, v);
}
void GetPins(Session& s, Tcl_Interp* i, int c, Tcl_Obj* const v[]) {
  GetObjects(InfoOf(Kind::Pin), s, i, c, v);
}
void GetSignals(Session& s, Tcl_Interp* i, int c, Tcl_Obj* const v[]) {
  GetObjects(InfoOf(Kind::Signal), s, i, c, v);
}
void GetSites(Session& s, Tcl_Interp* i, int c, Tcl_Obj* const v[]) {
  GetObjects(InfoOf(Kind::Site), s, i, c, v);
}

}  // namespace NcdTcl
