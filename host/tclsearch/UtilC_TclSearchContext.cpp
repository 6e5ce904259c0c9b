#include "UtilC_TclSearchContext.h"

#include <algorithm>
#include <new>
#include <string>

#include "UtilC_TclSearchPattern.h"
#include "UtilI_ITclCollectable.h"
#include "UtilI_VectorHelper.h"

namespace UtilC::TclSearch {

using CommonI::RefCountPtr;

namespace {

constexpr const char* kFullNameProperty = "Full Name";
constexpr const char* kNoPattern = "no search pattern: the pattern was not made by MakePattern";
constexpr const char* kNoPatternMemory = "cannot prepare the pattern: out of memory";

UtilI::ISearchPattern* AsPattern(const RefCountPtr<CitI::IInterface>& pattern) {
  if (!pattern) return nullptr;
  return static_cast<UtilI::ISearchPattern*>(pattern->QueryInterface(UtilI::IID_ISearchPattern));
}

// The text a probe is matched on: its name, or the text of its "Full Name".
bool ProbeText(UtilI::ITclCollectable& probe, bool fullName, Port::StringBase& out) {
  if (!fullName) return probe.GetName(out) != 0;
  UtilI::IPropertyValue* value = nullptr;
  const CitI::Result found = probe.GetPropertyValue(kFullNameProperty, &value);
  const auto held = RefCountPtr<UtilI::IPropertyValue>::Adopt(value);
  return found && held && held->GetText(out) != 0;
}

// The pass-through value that SearchText hands its sources: the compiled
// text of that search, recognised by the match calls on the searching
// thread while the search runs (a value of any other caller never equals
// it), so that they need neither the context's lock nor a reference. The
// sources hand the search's own text back, so its address answers for it
// without comparing the characters. The scope also keeps the string that
// the probes' names are read into, so that a walk reuses one buffer.
class SearchScope {
 public:
  SearchScope(const Matcher& matcher, const Port::StringBase& text)
      : m_matcher(&matcher), m_text(&text), m_outer(t_current) {
    t_current = this;
  }
  ~SearchScope() { t_current = m_outer; }
  SearchScope(const SearchScope&) = delete;
  SearchScope& operator=(const SearchScope&) = delete;

  void* PassThrough() const { return const_cast<SearchScope*>(this); }
  // The search `passThrough` names, when it runs on this thread and
  // compiles `text` with these flags.
  static SearchScope* For(const void* passThrough, const Port::StringBase& text, bool regexp,
                          bool nocase) {
    for (SearchScope* s = t_current; passThrough && s; s = s->m_outer) {
      if (s != passThrough) continue;
      const Matcher& m = *s->m_matcher;
      const bool same = &text == s->m_text ? m.IsRegexp() == regexp && m.IsNoCase() == nocase
                                           : m.Is(text, regexp, nocase);
      return same ? s : nullptr;
    }
    return nullptr;
  }
  const Matcher& GetMatcher() const { return *m_matcher; }
  Port::StringBase& NameBuffer() { return m_name; }

 private:
  const Matcher* m_matcher;
  const Port::StringBase* m_text;  // the text the search was asked for
  SearchScope* m_outer;            // of an enclosing search on this thread
  Port::StringBase m_name;
  // Initial-exec: read on every match call, without a call into the
  // dynamic linker (a few bytes of the static TLS reserve for loaded libraries).
  static thread_local SearchScope* t_current;
};

[[gnu::tls_model("initial-exec")]] thread_local SearchScope* SearchScope::t_current = nullptr;

}  // namespace

RefCountPtr<Context> Context::Create(CitI::IInterface* owner) {
  return RefCountPtr<Context>::Adopt(new (std::nothrow) Context(owner));
}

void Context::Close() {
  Port_ThrGuard guard(m_lock);
  m_owner = nullptr;
  m_sources.clear();
}

void* Context::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ISearchRequest) return static_cast<UtilI::ISearchRequest*>(this);
  if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return &m_counter;
  return nullptr;
}

CitI::Result Context::AddSource(const RefCountPtr<UtilI::ITclSearchSource>& source) {
  if (!source) return 0;
  const Port::StringBase name = source->GetName();
  if (name.IsEmpty()) return 0;
  Port_ThrGuard guard(m_lock);
  for (const Source& s : m_sources) {
    if (s.name == name || s.source == source.get()) return 0;
  }
  m_sources.push_back({name, source.get()});
  return 1;
}

CitI::Result Context::RemoveSource(const RefCountPtr<UtilI::ITclSearchSource>& source) {
  if (!source) return 0;
  Port_ThrGuard guard(m_lock);
  const auto it = std::find_if(m_sources.begin(), m_sources.end(),
                               [&](const Source& s) { return s.source == source.get(); });
  if (it == m_sources.end()) return 0;
  m_sources.erase(it);
  return 1;
}

CitI::Result Context::FindSource(RefCountPtr<UtilI::ITclSearchSource>& out,
                                 const Port::StringBase& name) {
  UtilI::ITclSearchSource* found = nullptr;
  {
    Port_ThrGuard guard(m_lock);
    const auto it = std::find_if(m_sources.begin(), m_sources.end(),
                                 [&](const Source& s) { return s.name == name; });
    if (it != m_sources.end()) found = it->source;
  }
  out.Reset(found);
  return found ? 1 : 0;
}

CitI::Result Context::GetSourceNames(RefCountPtr<UtilI::IStringContainer>& out) {
  std::vector<Port::StringBase> names;
  {
    Port_ThrGuard guard(m_lock);
    for (const Source& s : m_sources)
      names.push_back(s.name);
  }
  out = UtilI::MakeStringContainer();
  if (!out) return 0;
  for (const Port::StringBase& name : names)
    out->Add(name);
  return 1;
}

template <class Call>
CitI::Result Context::SearchSources(const Call& call) {
  RefCountPtr<CitI::IInterface> owner;
  std::vector<UtilI::ITclSearchSource*> sources;
  {
    Port_ThrGuard guard(m_lock);
    if (!m_owner) return 0;
    owner.Reset(m_owner);  // under the lock: the owner closes its context before it goes
    for (const Source& s : m_sources)
      sources.push_back(s.source);
  }
  CitI::Result answer = 1;
  for (UtilI::ITclSearchSource* source : sources) {
    if (StopRequested()) break;
    {
      // A source removed since the search began is not asked any more.
      Port_ThrGuard guard(m_lock);
      if (std::none_of(m_sources.begin(), m_sources.end(),
                       [source](const Source& s) { return s.source == source; }))
        continue;
    }
    if (!call(*source, owner)) answer = 0;
  }
  return answer;
}

CitI::Result Context::SearchText(const RefCountPtr<UtilI::IStringContainer>& typeNames,
                                 const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                                 UtilI::IObjectList* results) {
  ResetSearch();
  if (!typeNames || !results) return 0;
  const std::shared_ptr<const Matcher> matcher = TextMatcher(text, flag1, flag2);
  if (!matcher) return 0;
  const SearchScope scope(*matcher, text);
  return SearchSources(
      [&](UtilI::ITclSearchSource& source, const RefCountPtr<CitI::IInterface>& owner) {
        return source.SearchWithText(owner, text, typeNames, flag1, flag2, flag3, results,
                                     scope.PassThrough());
      });
}

CitI::Result Context::SearchPattern(const RefCountPtr<UtilI::IStringContainer>& typeNames,
                                    const RefCountPtr<CitI::IInterface>& pattern,
                                    UtilI::IObjectList* results) {
  ResetSearch();
  if (!typeNames || !results) return 0;
  if (!AsPattern(pattern)) {
    SetError(kNoPattern);
    return 0;
  }
  return SearchSources(
      [&](UtilI::ITclSearchSource& source, const RefCountPtr<CitI::IInterface>& owner) {
        return source.SearchWithPattern(owner, pattern, typeNames, results, nullptr);
      });
}

CitI::Result Context::MakePattern(RefCountPtr<CitI::IInterface>& out, const Port::StringBase& text,
                                  bool flag1, bool flag2, bool flag3) {
  out.Reset();
  std::string error;
  std::shared_ptr<const Matcher> matcher = Matcher::Make(text, flag1, flag2, error);
  RefCountPtr<UtilI::ISearchPattern> pattern;
  if (matcher) {
    pattern = Pattern::Create(std::move(matcher), flag3);
    if (!pattern) error = kNoPatternMemory;
  }
  SetError(error);
  if (!pattern) return 0;
  out = RefCountPtr<CitI::IInterface>::Adopt(pattern.Detach());
  return 1;
}

Port::StringBase Context::GetLastError() {
  Port_ThrGuard guard(m_lock);
  return m_lastError;
}

void Context::SetError(const Port::StringBase& error) {
  Port_ThrGuard guard(m_lock);
  m_lastError = error;
}

std::shared_ptr<const Matcher> Context::TextMatcher(const Port::StringBase& text, bool regexp,
                                                    bool nocase) {
  Port_ThrGuard guard(m_lock);
  if (!m_text.known || m_text.regexp != regexp || m_text.nocase != nocase ||
      !(m_text.text == text)) {
    // Compiled under the lock: every concurrent caller needs this result.
    std::string error;
    m_text.matcher = Matcher::Make(text, regexp, nocase, error);
    m_text.text = text;
    m_text.regexp = regexp;
    m_text.nocase = nocase;
    m_text.known = true;
    m_lastError = error;
  }
  return m_text.matcher;
}

template <class Match>
CitI::Result Context::MatchProbe(UtilI::ITclCollectable* probe, bool fullName, bool& matched,
                                 Port::StringBase& name, const Match& match) {
  if (!probe || !ProbeText(*probe, fullName, name)) return 0;
  if (!match(name)) return 1;
  if (!CountMatch()) return 0;
  matched = true;
  return 1;
}

bool Context::CountMatch() {
  const std::uint64_t limit = m_limit.load(std::memory_order_relaxed);
  std::uint64_t count = m_matches.load(std::memory_order_relaxed);
  do {
    if (limit != 0 && count >= limit) return false;
  } while (!m_matches.compare_exchange_weak(count, count + 1, std::memory_order_relaxed));
  return true;
}

CitI::Result Context::MatchPattern(UtilI::ITclCollectable* probe,
                                   const RefCountPtr<CitI::IInterface>& pattern,
                                   UtilI::IStringContainer*, bool& matched, void*) {
  matched = false;
  if (Context::StopRequested()) return 0;
  UtilI::ISearchPattern* prepared = AsPattern(pattern);
  if (!prepared) {
    SetError(kNoPattern);
    return 0;
  }
  Port::StringBase name;
  return MatchProbe(probe, prepared->IsFullName() != 0, matched, name,
                    [prepared](const Port::StringBase& text) { return prepared->Matches(text); });
}

CitI::Result Context::MatchText(UtilI::ITclCollectable* probe, const Port::StringBase& text,
                                UtilI::IStringContainer*, bool flag1, bool flag2, bool flag3,
                                bool& matched, void* passThrough) {
  matched = false;
  if (Context::StopRequested()) return 0;
  auto match = [](const Matcher& m) {
    return [&m](const Port::StringBase& name) { return m.Matches(name.c_str()); };
  };
  // Within SearchText on this thread: its compiled text, without the lock.
  if (SearchScope* searching = SearchScope::For(passThrough, text, flag1, flag2))
    return MatchProbe(probe, flag3, matched, searching->NameBuffer(),
                      match(searching->GetMatcher()));
  const std::shared_ptr<const Matcher> matcher = TextMatcher(text, flag1, flag2);
  if (!matcher) return 0;
  Port::StringBase name;
  return MatchProbe(probe, flag3, matched, name, match(*matcher));
}

CitI::Result Context::SetMatchLimit(std::uint64_t limit) {
  m_limit.store(limit, std::memory_order_relaxed);
  return 1;
}

CitI::Result Context::RequestStop() {
  m_stop.store(true, std::memory_order_release);
  return 1;
}

std::uint64_t Context::GetMatchCount() {
  return m_matches.load(std::memory_order_relaxed);
}

CitI::Result Context::ResetSearch() {
  m_matches.store(0, std::memory_order_relaxed);
  m_stop.store(false, std::memory_order_release);
  return 1;
}

}  // namespace UtilC::TclSearch
