// Exceptions of the design database proper (views, editing).
#pragma once

#include "Port_Exception.h"

namespace Xdm_Exception {

class Base : public Port::Exception {
 public:
  explicit Base(Port::StringBase message);
  Base(const char* source, int line, Port::StringBase message);
  Base(const char* component, const char* source, int line, Port::StringBase message);
};

}  // namespace Xdm_Exception
