// UtilC::TclSearch::Pattern: a prepared pattern (UtilI::ISearchPattern),
// made by a context's MakePattern and compiled there, once. Immutable, so
// any thread may use it; a counted object.
#pragma once

#include <memory>

#include "CommonI_TRefCountHelper.h"
#include "UtilC_TclSearchLive.h"
#include "UtilC_TclSearchMatcher.h"
#include "UtilI_TclSearch.h"

namespace UtilC::TclSearch {

class Pattern final : public UtilI::ISearchPattern, private LiveT<UtilI::kSearchPatterns> {
 public:
  // A new pattern with its first reference (empty when out of memory).
  static CommonI::RefCountPtr<UtilI::ISearchPattern> Create(std::shared_ptr<const Matcher> matcher,
                                                            bool fullName);

  void* QueryInterface(const Port::XUID& iid) override;
  Port::StringBase GetText() override { return m_matcher->Text(); }
  CitI::Result IsRegexp() override { return m_matcher->IsRegexp() ? 1 : 0; }
  CitI::Result IsNoCase() override { return m_matcher->IsNoCase() ? 1 : 0; }
  CitI::Result IsFullName() override { return m_fullName ? 1 : 0; }
  CitI::Result Matches(const Port::StringBase& name) override {
    return m_matcher->Matches(name.c_str()) ? 1 : 0;
  }

 private:
  friend class CommonI::TRefCountHelper<Pattern, 0>;
  Pattern(std::shared_ptr<const Matcher> matcher, bool fullName)
      : m_matcher(std::move(matcher)), m_fullName(fullName) {}
  ~Pattern() override = default;

  const std::shared_ptr<const Matcher> m_matcher;
  const bool m_fullName;
  CommonI::TRefCountHelper<Pattern, 0> m_counter{this};
};

}  // namespace UtilC::TclSearch
