// UtilI::Event: a plain event object (source, data, type) that senders
// build on the stack and pass to listeners. It holds no references.
#pragma once

#include "CommonI_IEvent.h"

namespace UtilI {

// A design was read successfully / a read ended without a design.
inline constexpr Port::XUID SharedNcdLoadedID{0xff1321c60e874512ULL, 0xbd8818d9e56f6b84ULL};
inline constexpr Port::XUID SharedNcdLoadFailedID{0x6d6f21b0e6ab480aULL, 0xa5590602c61dcecdULL};

class Event : public CommonI::IEvent {
public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CommonI::IID_IEvent || iid == CitI::IID_IInterface ? static_cast<CommonI::IEvent*>(this)
                                                                      : nullptr;
  }
  CitI::Result GetSource(CitI::IInterface** source) override { return Get(m_source, source); }
  CitI::Result SetSource(CitI::IInterface* source) override { return Set(m_source, source); }
  CitI::Result GetType(Port::XUID& type) override {
    if (m_type.IsNull()) return 0;
    type = m_type;
    return 1;
  }
  CitI::Result SetType(const Port::XUID& type) override {
    if (type.IsNull()) return 0;
    m_type = type;
    return 1;
  }
  CitI::Result GetData(CitI::IInterface** data) override { return Get(m_data, data); }
  CitI::Result SetData(CitI::IInterface* data) override { return Set(m_data, data); }

private:
  static CitI::Result Get(CitI::IInterface* field, CitI::IInterface** out) {
    if (!field || !out) return 0;
    *out = field;
    return 1;
  }
  static CitI::Result Set(CitI::IInterface*& field, CitI::IInterface* value) {
    if (!value) return 0;
    field = value;
    return 1;
  }

  CitI::IInterface* m_source = nullptr;
  CitI::IInterface* m_data = nullptr;
  Port::XUID m_type;
};

}  // namespace UtilI
