// Exceptions of the CAD model layer (models, views, mediators).
#pragma once

#include "Port_Exception.h"

class XCad_CadException : public Port::Exception {
 public:
  explicit XCad_CadException(Port::StringBase message);
  XCad_CadException(const char* source, int line, Port::StringBase message);
  XCad_CadException(const char* component, const char* source, int line, Port::StringBase message);
};
