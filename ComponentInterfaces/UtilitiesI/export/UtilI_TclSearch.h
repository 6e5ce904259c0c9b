// The Tcl search service ("libUtilC_TclSearch") and its search contexts.
//
// The service keeps one search context per owner (the client object that
// owns designs). Components register their search sources in the context
// of the owner they serve; a client searches through its context, which
// asks every source for the requested type names. The same context object
// is the search request the algorithms receive: for every object they walk
// they call MatchPattern or MatchText with a probe collectable, and they
// stop descending where StopRequested says so.
//
// Matching is done on the probe's name (ITclCollectable::GetName), or on
// its "Full Name" property when the full-name flag is set. The three flags
// of MatchText and MakePattern, in this order:
//   flag1  regular expression (Tcl's regexp syntax) instead of a glob
//          (Tcl's string match);
//   flag2  case-insensitive;
//   flag3  match the full hierarchical name instead of the name.
// A glob must match the whole name (`string match`); a regular expression
// matches anywhere in it unless anchored with ^ and $ (`regexp`). The full
// name is the text of the probe's "Full Name" value (IPropertyValue::GetText).
// A probe that gives no name (or no full name) is abandoned: the match
// calls answer 0 and leave `matched` false. A prepared pattern is compiled
// once, by MakePattern; a context compiles the text of MatchText once and
// reuses it while the text and the first two flags stay the same. An
// invalid regular expression is refused with Tcl's message (GetLastError).
//
// Ownership: the service holds one reference on every context until the
// context is closed; a context holds no reference on its owner (the owner
// closes its context before it goes) and none on its sources (each source's
// owner removes it first). Patterns are counted objects.
//
// Threads: any thread may call any operation. One search at a time per
// context counts matches and honours the match limit; RequestStop may come
// from any thread and ends every search of the context at its next object.
// Once stopped (or at the limit) the match calls answer 0 and match
// nothing, so even a walk that asks StopRequested only once ends there.
// RemoveSource keeps the source from every later search but does not wait
// for a search already inside it. Threads that share one regular
// expression take turns matching with it. A thread other than the
// process's main thread that matched a regular expression frees Tcl's data
// of that thread when it ends.
//
// Locks: the registry of contexts, then one context's lock; a compiled
// regular expression's lock is taken alone. No lock is held while a source,
// a probe or a foreign pattern is called; a search takes its reference on
// the owner under the context's lock (an owner's counting must not call
// back into the service).
//
// Operation order is fixed (the search algorithms call MatchPattern 11,
// MatchText 12 and StopRequested 14 by position, and the design object
// GetContext 3 of the service and AddSource 2, RemoveSource 3, FindSource 4
// of the context, counting QueryInterface as 0 and the destructor as 1).
// New operations go at the end of an interface.
#pragma once

#include <cstdint>

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_ITclSearchSource.h"

namespace UtilI {

inline constexpr Port::XUID CLSID_TclSearch{0x798840ac95d64c75ULL, 0xa3a78b63b9127341ULL};
inline constexpr Port::XUID IID_ITclSearch{0xdad07fa7a6344b88ULL, 0x9d0356504926e8f0ULL};
inline constexpr Port::XUID IID_ISearchRequest{0x776a018f3fe34569ULL, 0x8425d124866a760cULL};
inline constexpr Port::XUID IID_ISearchPattern{0x0abfae665de74d7eULL, 0x9784b50cfdbb43d8ULL};

inline constexpr const char* kTclSearchLibrary = "libUtilC_TclSearch";

// Which objects ITclSearch::GetLiveCount counts.
enum SearchObjectKind : std::uint32_t {
  kSearchServices = 0,
  kSearchContexts = 1,
  kSearchPatterns = 2,
  kSearchAll = 3
};

// A pattern prepared once for many matches (made by ISearchRequest::MakePattern).
class ISearchPattern : public CitI::IInterface {
 public:
  virtual Port::StringBase GetText() = 0;
  virtual CitI::Result IsRegexp() = 0;
  virtual CitI::Result IsNoCase() = 0;
  virtual CitI::Result IsFullName() = 0;
  // Whether `name` matches.
  virtual CitI::Result Matches(const Port::StringBase& name) = 0;
};

// The search context of one owner, and the request the algorithms match with.
class ISearchRequest : public CitI::IInterface {
 public:
  // Sources are kept by name; a null or unnamed source, and a second
  // source of a name already present, are refused (0).
  virtual CitI::Result AddSource(const CommonI::RefCountPtr<ITclSearchSource>& source) = 0;  // 2
  // 0 when the source is not registered here. Later searches no longer
  // reach it; a search already inside it runs on.
  virtual CitI::Result RemoveSource(const CommonI::RefCountPtr<ITclSearchSource>& source) = 0;  // 3
  // The source registered under `name`, or an empty `out` (and 0).
  virtual CitI::Result FindSource(CommonI::RefCountPtr<ITclSearchSource>& out,
                                  const Port::StringBase& name) = 0;  // 4
  // The names of the registered sources, in registration order.
  virtual CitI::Result GetSourceNames(CommonI::RefCountPtr<IStringContainer>& out) = 0;  // 5
  // A client's search: every source is asked for the types of `typeNames`
  // (SearchWithText with this context's owner), matches go to `results`.
  // Resets the stop flag and the match count first; once stopped, the
  // remaining sources are not asked. 0 when a source answered false, when
  // `text` is not a valid pattern (see GetLastError), when `typeNames` or
  // `results` is missing, or when the context was closed (no owner).
  virtual CitI::Result SearchText(const CommonI::RefCountPtr<IStringContainer>& typeNames,
                                  const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                                  IObjectList* results) = 0;  // 6
  // The same with a prepared pattern of MakePattern (SearchWithPattern);
  // 0 when `pattern` is not one (see GetLastError).
  virtual CitI::Result SearchPattern(const CommonI::RefCountPtr<IStringContainer>& typeNames,
                                     const CommonI::RefCountPtr<CitI::IInterface>& pattern,
                                     IObjectList* results) = 0;  // 7
  // A prepared pattern; 0 and an empty `out` for an invalid regular
  // expression (GetLastError says why).
  virtual CitI::Result MakePattern(CommonI::RefCountPtr<CitI::IInterface>& out,
                                   const Port::StringBase& text, bool flag1, bool flag2,
                                   bool flag3) = 0;  // 8
  // The error of the pattern this context compiled last ("" when it was
  // valid), or of the last pattern argument that was not a pattern.
  virtual Port::StringBase GetLastError() = 0;  // 9
  // After `limit` matches StopRequested answers true (0: no limit).
  virtual CitI::Result SetMatchLimit(std::uint64_t limit) = 0;  // 10
  // Matches the probe against the prepared pattern in `pattern`; sets
  // `matched`. Answers nonzero to go on with the object, 0 to abandon it
  // (a probe without a name, a missing pattern, or a stop). `strings` is
  // not used; `passThrough` is the value the search handed its sources
  // (SearchText's own lets its match calls skip the context's lock).
  virtual CitI::Result MatchPattern(ITclCollectable* probe,
                                    const CommonI::RefCountPtr<CitI::IInterface>& pattern,
                                    IStringContainer* strings, bool& matched,
                                    void* passThrough) = 0;  // 11
  // The same with a pattern text and the three flags (compiled once and
  // reused while the text and flags stay the same).
  virtual CitI::Result MatchText(ITclCollectable* probe, const Port::StringBase& text,
                                 IStringContainer* strings, bool flag1, bool flag2, bool flag3,
                                 bool& matched, void* passThrough) = 0;  // 12
  // Raises the stop flag (any thread).
  virtual CitI::Result RequestStop() = 0;  // 13
  // True once stopped or once the match limit is reached.
  virtual CitI::Result StopRequested() = 0;  // 14
  // Matches counted since the last SearchText/SearchPattern (or ResetSearch).
  virtual std::uint64_t GetMatchCount() = 0;  // 15
  // Clears the stop flag and the match count.
  virtual CitI::Result ResetSearch() = 0;  // 16
};

// The service. Instances share one registry of contexts per process.
class ITclSearch : public CitI::IInterface {
 public:
  // The owner's context, made when it has none; 0 for a null owner.
  virtual CitI::Result OpenContext(CommonI::RefCountPtr<ISearchRequest>& out,
                                   const CommonI::RefCountPtr<CitI::IInterface>& owner) = 0;  // 2
  // The owner's context, or empty (and 0) when it has none.
  virtual CitI::Result GetContext(CommonI::RefCountPtr<ISearchRequest>& out,
                                  const CommonI::RefCountPtr<CitI::IInterface>& owner) = 0;  // 3
  // Forgets the owner's context; 0 when none. References to it stay valid,
  // but it has no owner and no sources any more (its searches answer 0).
  virtual CitI::Result CloseContext(const CommonI::RefCountPtr<CitI::IInterface>& owner) = 0;  // 4
  virtual std::uint64_t GetContextCount() = 0;  // 5
  // Objects of the component alive now (tests use it to catch leaks); an
  // open context counts, since the service holds it.
  virtual std::uint64_t GetLiveCount(std::uint32_t kind) = 0;  // 6
};

}  // namespace UtilI
