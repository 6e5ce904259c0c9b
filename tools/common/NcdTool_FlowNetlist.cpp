#include "NcdTool_FlowNetlist.h"

#include <zlib.h>

#include <filesystem>

namespace NcdTool {

namespace {

bool IsFlowNetlist(const std::string& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return false;
  std::string head(4096, '\0');  // before the open: nothing may throw while the file is open
  gzFile in = gzopen(file.c_str(), "rb");  // plain files are read as they are
  if (!in) return false;
  const int read = gzread(in, head.data(), static_cast<unsigned>(head.size()));
  gzclose(in);
  head.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
  return head.find("\"creator\"") != std::string::npos &&
         head.find("\"modules\"") != std::string::npos;
}

}  // namespace

std::string FlowNetlistHint(const std::string& file) {
  if (!IsFlowNetlist(file)) return {};
  return file +
         ": this is a netlist of the open flow (nextpnr-ice40 --write), not a design: "
         "convert it with ncdimport -o design.ncd.json " +
         file + " (docs/import.md)";
}

}  // namespace NcdTool
