// Exceptions of the physical design services: the loader and the usage
// queries. Loader errors carry "<file>:<line>:<column>: <cause>".
#pragma once

#include "Port_Exception.h"

class Pds_Exception : public Port::Exception {
 public:
  explicit Pds_Exception(Port::StringBase message);
  Pds_Exception(const char* source, int line, Port::StringBase message);
  Pds_Exception(const char* component, const char* source, int line, Port::StringBase message);
};

// The block is not of a type the query applies to.
class Pds_ExceptionInvalidTypeBlock : public Pds_Exception {
 public:
  using Pds_Exception::Pds_Exception;
};

// The database holds inconsistent data for the query.
class Pds_ExceptionCorruptDatabase : public Pds_Exception {
 public:
  using Pds_Exception::Pds_Exception;
};

// A general configuration datum that cannot be read.
class Pds_ExceptionInvalidConfig : public Pds_Exception {
 public:
  using Pds_Exception::Pds_Exception;
};
