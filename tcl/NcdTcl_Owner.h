// NcdTcl::Owner: the counted object that stands for one owner name of one
// interpreter (`ncd::open_design -owner name`).
//
// The manager keys designs by owner object and file, so two owner names
// open two designs of one file. Designs opened without an owner name
// belong to one owner of the whole process (Default()), shared by every
// interpreter. A session keeps each name's object for its
// whole life, so that a name reopens the design it closed from the
// manager's cache; cached designs count their owner and keep it alive after
// the session has gone. Counting is atomic: the manager may drop its
// references on any thread.
#pragma once

#include <atomic>

#include "CommonI_IRefCount.h"

namespace NcdTcl {

class Owner : public CommonI::IRefCount {
 public:
  // The owner of designs opened without an owner name, one for the whole
  // process, so that interpreters share those designs; never freed.
  static const CommonI::RefCountPtr<CitI::IInterface>& Default() {
    static const auto* owner = new CommonI::RefCountPtr<CitI::IInterface>(Create());
    return *owner;
  }

  // A new owner, its first reference held by the answer.
  static CommonI::RefCountPtr<CitI::IInterface> Create() {
    return CommonI::RefCountPtr<CitI::IInterface>::Adopt(new Owner());
  }

  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::Result AddRef() override {
    m_count.fetch_add(1, std::memory_order_relaxed);
    return 1;
  }
  CitI::Result Release() override {
    if (m_count.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    return 1;
  }
  CitI::Result GetRefCount(int* count) override {
    if (!count) return 0;
    *count = m_count.load();
    return 1;
  }

 private:
  Owner() = default;
  ~Owner() override = default;
  std::atomic<int> m_count{1};
};

}  // namespace NcdTcl
