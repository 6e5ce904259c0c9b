#include "Port_Exception.h"

#include <utility>

#include "Port_MsgManData.h"

namespace Port {

Exception::Exception(const char* component, const char* source, int line, StringBase message)
    : m_component(component ? component : ""),
      m_source(source ? source : ""),
      m_line(line),
      m_message(std::move(message)) {}

Exception::~Exception() = default;

void Exception::report() const {
  Port_MsgManData::createObject(m_component.c_str(), m_source.c_str(), m_line, "")
      .issueError("%s", getLocalized().c_str());
}

}  // namespace Port

namespace Util {

IllegalMethodCalledException::IllegalMethodCalledException(const char* component,
                                                           const char* source, const char* revision,
                                                           int line, const Port::StringBase& text)
    : Port::Exception(component, source, line, text), m_revision(revision ? revision : "") {}

}  // namespace Util
