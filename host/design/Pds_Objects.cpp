// Physical attributes of blocks and views, usages, and the exceptions.
#include <cstring>
#include <stdexcept>
#include <string>

#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmView.h"
#include "Pds_PihDeviceUsage.h"
#include "XCad_CadException.h"
#include "Xdm_Exception.h"
#include "Xdm_ViewStore.h"

namespace {

using A = Xdm_Access;

const char* FindPair(const Xdm_ViewStore& store, Xdm_Slice slice, const char* name) {
  for (std::uint32_t i = 0; i < slice.count; ++i) {
    const auto& entry = store.m_pairs[slice.first + i];
    if (std::strcmp(entry.first, name) == 0) return entry.second ? entry.second : "";
  }
  return nullptr;
}

const Xdm_BlockExtra* ExtraOf(const Xdm_Block* block) {
  return block ? A::F(*block).extra : nullptr;
}

[[noreturn]] void Reject(const Pds_PdmBlock* block, Xdm_IoData::Reject reject) {
  const char* name = block->GetFullName();
  switch (reject) {
    case Xdm_IoData::kInvalidType:
      throw Pds_ExceptionInvalidTypeBlock(
          "Pds_PahIoUsage", __LINE__,
          Port::StringBase::doFormat("block '%s' is not of a type with IO usage", name));
    case Xdm_IoData::kCorruptDatabase:
      throw Pds_ExceptionCorruptDatabase(
          "Pds_PahIoUsage", __LINE__,
          Port::StringBase::doFormat("IO usage of block '%s' is corrupt", name));
    default:
      throw std::runtime_error(std::string("IO usage of block '") + name + "' failed");
  }
}

// One IO usage query: rejection first, then the IOB test, then the value.
std::string IoValue(const Pds_PdmBlock* block, bool& found, Xdm_IoData::Key key) {
  found = false;
  const Xdm_BlockExtra* extra = ExtraOf(block);
  if (extra == nullptr || extra->io == nullptr) return {};
  const Xdm_IoData& io = *extra->io;
  if (io.reject != Xdm_IoData::kNone && (io.rejected & (1u << key)) != 0) Reject(block, io.reject);
  if (!block->IsExternal() || io.value[key] == nullptr) return {};
  found = true;
  return io.value[key];
}

}  // namespace

Pds_Exception::Pds_Exception(Port::StringBase message)
    : Port::Exception("Pds", "", 0, std::move(message)) {}
Pds_Exception::Pds_Exception(const char* source, int line, Port::StringBase message)
    : Port::Exception("Pds", source, line, std::move(message)) {}
Pds_Exception::Pds_Exception(const char* component, const char* source, int line,
                             Port::StringBase message)
    : Port::Exception(component, source, line, std::move(message)) {}

XCad_CadException::XCad_CadException(Port::StringBase message)
    : Port::Exception("XCad", "", 0, std::move(message)) {}
XCad_CadException::XCad_CadException(const char* source, int line, Port::StringBase message)
    : Port::Exception("XCad", source, line, std::move(message)) {}
XCad_CadException::XCad_CadException(const char* component, const char* source, int line,
                                     Port::StringBase message)
    : Port::Exception(component, source, line, std::move(message)) {}

namespace Xdm_Exception {
Base::Base(Port::StringBase message) : Port::Exception("Xdm", "", 0, std::move(message)) {}
Base::Base(const char* source, int line, Port::StringBase message)
    : Port::Exception("Xdm", source, line, std::move(message)) {}
Base::Base(const char* component, const char* source, int line, Port::StringBase message)
    : Port::Exception(component, source, line, std::move(message)) {}
}  // namespace Xdm_Exception

Pds_PdmUsage* Pds_PdmBlock::GetUsage() const {
  Xdm_BlockExtra* extra = m_f.extra;
  return extra && extra->hasUsage ? &extra->usage : nullptr;
}

int Pds_PdmBlock::GetConfigSecurity() const {
  return m_f.extra ? m_f.extra->configSecurity : 0;
}

int Pds_PdmBlock::GetNetlistSecurity() const {
  return m_f.extra ? m_f.extra->netlistSecurity : 0;
}

Pds_PdmAttribute Pds_PdmUsage::GetGeneralConfigData(const char* name) const {
  if (m_store == nullptr || name == nullptr) return Pds_PdmAttribute();
  if (FindPair(*m_store, m_invalid, name) != nullptr) {
    throw Pds_ExceptionInvalidConfig(
        "Pds_PdmUsage", __LINE__,
        Port::StringBase::doFormat("general configuration data '%s' is invalid", name));
  }
  return Pds_PdmAttribute(FindPair(*m_store, m_data, name));
}

Xdm_Network* Pds_PdmView::GetMasterVccNetwork() const {
  return m_store->m_masterVcc;
}
Xdm_Network* Pds_PdmView::GetMasterGndNetwork() const {
  return m_store->m_masterGnd;
}

std::string Pds_PahIoUsage::GetInputStandard(const Pds_PdmBlock* block, bool& found) {
  return IoValue(block, found, Xdm_IoData::kInput);
}
std::string Pds_PahIoUsage::GetOutputStandard(const Pds_PdmBlock* block, bool& found) {
  return IoValue(block, found, Xdm_IoData::kOutput);
}
std::string Pds_PahIoUsage::GetDriveStrength(const Pds_PdmBlock* block, bool& found) {
  return IoValue(block, found, Xdm_IoData::kDrive);
}
std::string Pds_PahIoUsage::GetSlew(const Pds_PdmBlock* block, bool& found) {
  return IoValue(block, found, Xdm_IoData::kSlew);
}

Rf_Usage Pds_PihDeviceUsage::GetRfUsage(const Pds_PdmBlock* block, Rf_Device* /*device*/) {
  const Xdm_BlockExtra* extra = ExtraOf(block);
  if (extra == nullptr || !extra->hasModes) return Rf_Usage();
  return A::MakeRfUsage(&A::Store(*block), extra->modes);
}

Rf_Usage::Mode Rf_Usage::GetMode(const char* name) const {
  if (m_store == nullptr || name == nullptr) return Mode();
  return Mode(FindPair(*m_store, m_modes, name));
}
