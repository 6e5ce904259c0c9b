// PM_PIC: the part information of a device. Owned by its Rf_Device.
#pragma once

#include <string>

class PM_PIC {
 public:
  explicit PM_PIC(std::string partName) : m_partName(std::move(partName)) {}

  // A new[]-allocated copy of the part name: the caller delete[]s it.
  char* get_partname() const;

 private:
  std::string m_partName;
};
