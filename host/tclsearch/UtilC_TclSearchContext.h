// UtilC::TclSearch::Context: the search context of one owner and the
// search request of every search through it (UtilI::ISearchRequest; the
// rules for callers are in UtilI_TclSearch.h).
//
// State: the owner (a plain pointer) and the sources in registration order
// (plain pointers; their owners remove them), both forgotten when the
// context is closed; the compiled text of the last MatchText, the last pattern error,
// and the search state: stop flag, match count and match limit, atomics
// that the match calls read without a lock.
//
// Lock: m_lock guards everything but the search state; it is taken after
// the registry's lock and is never held while a source, a probe or a
// foreign pattern runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "CommonI_TRefCountHelper.h"
#include "Port_Thr.h"
#include "UtilC_TclSearchLive.h"
#include "UtilC_TclSearchMatcher.h"
#include "UtilI_TclSearch.h"

namespace UtilC::TclSearch {

class Context final : public UtilI::ISearchRequest, private LiveT<UtilI::kSearchContexts> {
 public:
  // A new context of `owner` with its first reference (empty when out of memory).
  static CommonI::RefCountPtr<Context> Create(CitI::IInterface* owner);
  // Forgets the owner and the sources: searches through the context
  // answer 0 from now on, and no source can be found in it.
  void Close();

  void* QueryInterface(const Port::XUID& iid) override;
  CitI::Result AddSource(const CommonI::RefCountPtr<UtilI::ITclSearchSource>& source) override;
  CitI::Result RemoveSource(const CommonI::RefCountPtr<UtilI::ITclSearchSource>& source) override;
  CitI::Result FindSource(CommonI::RefCountPtr<UtilI::ITclSearchSource>& out,
                          const Port::StringBase& name) override;
  CitI::Result GetSourceNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;
  CitI::Result SearchText(const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames,
                          const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                          UtilI::IObjectList* results) override;
  CitI::Result SearchPattern(const CommonI::RefCountPtr<UtilI::IStringContainer>& typeNames,
                             const CommonI::RefCountPtr<CitI::IInterface>& pattern,
                             UtilI::IObjectList* results) override;
  CitI::Result MakePattern(CommonI::RefCountPtr<CitI::IInterface>& out,
                           const Port::StringBase& text, bool flag1, bool flag2,
                           bool flag3) override;
  Port::StringBase GetLastError() override;
  CitI::Result SetMatchLimit(std::uint64_t limit) override;
  CitI::Result MatchPattern(UtilI::ITclCollectable* probe,
                            const CommonI::RefCountPtr<CitI::IInterface>& pattern,
                            UtilI::IStringContainer* strings, bool& matched,
                            void* passThrough) override;
  CitI::Result MatchText(UtilI::ITclCollectable* probe, const Port::StringBase& text,
                         UtilI::IStringContainer* strings, bool flag1, bool flag2, bool flag3,
                         bool& matched, void* passThrough) override;
  CitI::Result RequestStop() override;
  // Inline: every match call of a search asks it first.
  CitI::Result StopRequested() override {
    if (m_stop.load(std::memory_order_acquire)) return 1;
    const std::uint64_t limit = m_limit.load(std::memory_order_relaxed);
    return limit != 0 && m_matches.load(std::memory_order_relaxed) >= limit ? 1 : 0;
  }
  std::uint64_t GetMatchCount() override;
  CitI::Result ResetSearch() override;

 private:
  friend class CommonI::TRefCountHelper<Context, 0>;
  struct Source {
    Port::StringBase name;
    UtilI::ITclSearchSource* source;
  };
  // The compiled text of the last MatchText (matcher null: not a valid pattern).
  struct TextPattern {
    bool known = false;
    Port::StringBase text;
    bool regexp = false;
    bool nocase = false;
    std::shared_ptr<const Matcher> matcher;
  };

  explicit Context(CitI::IInterface* owner) : m_owner(owner) {}
  ~Context() override = default;

  // The compiled MatchText pattern for these text and flags (compiled on
  // a change); null, with the error recorded, when the text is invalid.
  std::shared_ptr<const Matcher> TextMatcher(const Port::StringBase& text, bool regexp,
                                             bool nocase);
  std::shared_ptr<const Matcher> Compile(const Port::StringBase& text, bool regexp, bool nocase);
  void SetError(const Port::StringBase& error);
  // Asks every source in turn with `call(source, owner)`, until stopped.
  template <class Call>
  CitI::Result SearchSources(const Call& call);
  // Matches the probe's name or full name, read into `name`; counts the
  // match against the limit.
  template <class Match>
  CitI::Result MatchProbe(UtilI::ITclCollectable* probe, bool fullName, bool& matched,
                          Port::StringBase& name, const Match& match);
  // Counts one match unless the limit is reached (false then).
  bool CountMatch();

  Port_ThrMutex m_lock;
  CitI::IInterface* m_owner;
  std::vector<Source> m_sources;
  TextPattern m_text;
  Port::StringBase m_lastError;

  std::atomic<bool> m_stop{false};
  std::atomic<std::uint64_t> m_matches{0};
  std::atomic<std::uint64_t> m_limit{0};
  CommonI::TRefCountHelper<Context, 0> m_counter{this};
};

}  // namespace UtilC::TclSearch
