// IobColl: an IOB's IO standard, direction, drive and slew.
#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcdBlockColl.h"
#include "UtilC_SharedNcdMsg.h"

namespace UtilC::SharedNcd {

namespace {

constexpr const char* kSource = "UtilC_SharedNcdIobColl";
// The lines the unhandled-exception reports name; fixed so that the
// reports read the same from build to build.
constexpr int kDriveLine = 176;
constexpr int kSlewLine = 257;

using IoQuery = std::string (*)(const Pds_PdmBlock*, bool&);

// Delivers what `query` answers for the IOB. The IO library's own
// exceptions report themselves; anything else is reported as unhandled.
// Nothing is delivered in either case.
CitI::Result DeliverIo(UtilI::IPropertyValue** value, const Pds_PdmBlock* iob, IoQuery query, int line) {
  std::string text;
  try {
    bool found = false;
    text = query(iob, found);
  } catch (const Pds_ExceptionInvalidTypeBlock& e) {
    e.report();
    return 0;
  } catch (const Pds_ExceptionCorruptDatabase& e) {
    e.report();
    return 0;
  } catch (...) {
    Msg::ReportUnhandledException(kSource, line);
    return 0;
  }
  return (*value)->SetString(text);
}

}  // namespace

std::span<const PropertySpec<IobColl>> IobColl::Properties() {
  static constexpr PropertySpec<IobColl> kTable[] = {
      {"Bank", kKindObject, "This property specifies the IO bank that the IOB resides.\n", &IobColl::GetBank},
      {"Drive", kKindString, "This property specifies the drive strength of the IOB.\n", &IobColl::GetDrive},
      {"IO Direction", kKindString, "This property specifies the IO direction of the IOB.\n",
       &IobColl::GetIoDirection},
      {"IO Standard", kKindString, "This property specifies the IO standard of the IOB.\n",
       &IobColl::GetIoStandard},
      {"Package Pin", kKindObject, "This property specifies the package pin associated with the IOB.\n",
       &IobColl::GetPackagePin},
      {"Slew", kKindString, "This property specifies the slew rate of the IOB.\n", &IobColl::GetSlew},
  };
  return kTable;
}

CitI::Result IobColl::GetBank(UtilI::IPropertyValue** value) {
  return (*value)->SetObject(nullptr);
}
CitI::Result IobColl::GetPackagePin(UtilI::IPropertyValue** value) {
  return (*value)->SetObject(nullptr);
}

CitI::Result IobColl::GetDrive(UtilI::IPropertyValue** value) {
  return DeliverIo(value, Block(), &Pds_PahIoUsage::GetDriveStrength, kDriveLine);
}
CitI::Result IobColl::GetSlew(UtilI::IPropertyValue** value) {
  return DeliverIo(value, Block(), &Pds_PahIoUsage::GetSlew, kSlewLine);
}

CitI::Result IobColl::GetIoDirection(UtilI::IPropertyValue** value) {
  return (*value)->SetString(design->GetIoDirection(Block()));
}
CitI::Result IobColl::GetIoStandard(UtilI::IPropertyValue** value) {
  return (*value)->SetString(design->GetIoStandard(Block()));
}

}  // namespace UtilC::SharedNcd
