// UtilC::SearchAlg: a search algorithm of one searchable type of a design
// ("ncd_block", "ncd_net", "ncd_rpm"). The design's search source owns one
// per type and hands each search request of that type to it.
//
// An algorithm never judges a match itself: it walks its objects, presents
// each to the request through one reusable probe collectable (MatchPattern
// when the caller prepared a pattern, MatchText otherwise) and appends a
// fresh collectable of every accepted object to the caller's result list.
// It holds nothing between searches; it may search on any thread, and
// exceptions of the request or of the design database pass to the caller.
#pragma once

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_ITclCollectable.h"
#include "UtilI_TclSearch.h"
#include "UtilI_VectorHelper.h"

namespace UtilC {

// The extra reference every match call runs under, so that the probe
// cannot go while the request looks at it. One walk presents one probe
// object many times: the reference is taken at its first call, moves when
// the walk changes its probe object, and is given back when the walk ends.
// A request sees the same count during each call as with a reference taken
// per call, without two atomic counts per visited object.
class ProbeHold {
 public:
  ProbeHold() = default;
  ~ProbeHold();
  ProbeHold(const ProbeHold&) = delete;
  ProbeHold& operator=(const ProbeHold&) = delete;

  void Hold(UtilI::ITclCollectable* probe) {
    if (probe != m_probe) Move(probe);
  }

 private:
  void Move(UtilI::ITclCollectable* probe);
  void Drop();

  UtilI::ITclCollectable* m_probe = nullptr;
  CommonI::IRefCount* m_count = nullptr;  // its counting face
};

// What one search passes to each match call.
struct SearchCall {
  SearchCall(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
             const CommonI::RefCountPtr<CitI::IInterface>& pattern, const Port::StringBase& text,
             bool flag1, bool flag2, bool flag3, UtilI::IObjectList* results, void* passThrough,
             UtilI::IStringContainer* strings)
      : request(request),
        pattern(pattern),
        text(text),
        flag1(flag1),
        flag2(flag2),
        flag3(flag3),
        results(results),
        passThrough(passThrough),
        strings(strings) {}

  const CommonI::RefCountPtr<UtilI::ISearchRequest>& request;
  const CommonI::RefCountPtr<CitI::IInterface>& pattern;  // empty: match the text
  const Port::StringBase& text;
  bool flag1;
  bool flag2;
  bool flag3;
  UtilI::IObjectList* results;
  void* passThrough;
  UtilI::IStringContainer* strings;  // the search class's (SearchStrings)

  // Presents `probe` to the request with the strings; sets `matched`.
  // Nonzero: go on with the object; 0: abandon it.
  // Inline: called for every visited object.
  CitI::Result Present(UtilI::ITclCollectable* probe, bool& matched) const {
    matched = false;
    probeHold.Hold(probe);
    if (pattern) return request->MatchPattern(probe, pattern, strings, matched, passThrough);
    return request->MatchText(probe, text, strings, flag1, flag2, flag3, matched, passThrough);
  }
  // Appends a collectable to the results (which take their own reference).
  void Append(const CommonI::RefCountPtr<UtilI::ITclCollectable>& match) const;

  mutable ProbeHold probeHold;
};

// One process-wide empty string container per search class (Tag), made
// on first use and never released; handed to every match request.
template <class Tag>
UtilI::IStringContainer* SearchStrings() {
  static UtilI::IStringContainer* strings = UtilI::MakeStringContainer().Detach();
  return strings;
}

class SearchAlg {
 public:
  explicit SearchAlg(const Port::StringBase& name) : name(name) {}
  virtual ~SearchAlg() = default;
  SearchAlg(const SearchAlg&) = delete;
  SearchAlg& operator=(const SearchAlg&) = delete;

  // Nonzero for success. `patternHolder` holds a prepared pattern of the
  // search service, or is empty and `text` with the three flags is used.
  virtual CitI::Result Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                              const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                              const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                              UtilI::IObjectList* results, void* passThrough) = 0;

  // The type name the algorithm is registered under.
  const Port::StringBase name;
};

}  // namespace UtilC
