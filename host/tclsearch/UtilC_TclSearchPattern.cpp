#include "UtilC_TclSearchPattern.h"

#include <new>

namespace UtilC::TclSearch {

CommonI::RefCountPtr<UtilI::ISearchPattern> Pattern::Create(std::shared_ptr<const Matcher> matcher,
                                                            bool fullName) {
  Pattern* pattern = matcher ? new (std::nothrow) Pattern(std::move(matcher), fullName) : nullptr;
  return CommonI::RefCountPtr<UtilI::ISearchPattern>::Adopt(pattern);
}

void* Pattern::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ISearchPattern) return static_cast<UtilI::ISearchPattern*>(this);
  if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return &m_counter;
  return nullptr;
}

}  // namespace UtilC::TclSearch
