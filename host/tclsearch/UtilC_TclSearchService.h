// UtilC::TclSearch::Service: the Tcl search service (UtilI::ITclSearch),
// a counted object that the component framework creates for
// UtilI::CLSID_TclSearch. It holds nothing of its own: every instance
// answers from the one process-wide registry of contexts.
#pragma once

#include "CommonI_TRefCountHelper.h"
#include "UtilC_TclSearchLive.h"
#include "UtilI_TclSearch.h"

namespace UtilC::TclSearch {

class Service final : public UtilI::ITclSearch, private LiveT<UtilI::kSearchServices> {
 public:
  // A new instance with its first reference; null when out of memory.
  static Service* Create();

  void* QueryInterface(const Port::XUID& iid) override;
  CitI::Result OpenContext(CommonI::RefCountPtr<UtilI::ISearchRequest>& out,
                           const CommonI::RefCountPtr<CitI::IInterface>& owner) override;
  CitI::Result GetContext(CommonI::RefCountPtr<UtilI::ISearchRequest>& out,
                          const CommonI::RefCountPtr<CitI::IInterface>& owner) override;
  CitI::Result CloseContext(const CommonI::RefCountPtr<CitI::IInterface>& owner) override;
  std::uint64_t GetContextCount() override;
  std::uint64_t GetLiveCount(std::uint32_t kind) override;

 private:
  friend class CommonI::TRefCountHelper<Service, 0>;
  Service() = default;
  ~Service() override = default;

  CommonI::TRefCountHelper<Service, 0> m_counter{this};
};

}  // namespace UtilC::TclSearch

// The component library's only exported function: registers the service's
// factory under UtilI::CLSID_TclSearch.
extern "C" __attribute__((visibility("default"))) void InstFactoryEntry();
