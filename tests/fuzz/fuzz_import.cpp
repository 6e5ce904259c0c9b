// libFuzzer target for the importer's inputs: a netlist, and optionally the
// SDF and PCF files, in one input ("<netlist>\n#SDF#\n<sdf>\n#PCF#\n<pcf>",
// either part may be left out). Every input either imports to a design
// that the design loader reads, or is refused with NcdImport::Error, whose
// message names one of the files and is one line of bounded length without
// control characters. Anything else (another exception, a design the loader
// refuses, a malformed message, a sanitizer report, a hang) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>

#include "NcdImport.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "Xdm_ViewStore.h"

namespace {

// The longest message: a quoted name is at most 64 characters (4 bytes
// each, escapes 6) and a message holds a few, with a path and fixed text.
constexpr std::size_t kLongestMessage = 2048;
// Smaller than the importer's limit, so that the fuzzer's inputs stay
// quick to import and a bound is met (a compressed input that inflates).
constexpr std::uint64_t kInputLimit = 1 << 20;

void Check(bool ok, const std::string& context) {
  if (ok) return;
  std::fprintf(stderr, "fuzz_import finding: %s\n", context.c_str());
  std::abort();
}

constexpr const char* kFiles[] = {"pnr.json", "sdf", "pcf", "ncd.json"};

std::string PathOf(const char* what) {
  static const std::string dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  return dir + "/fuzz_import." + std::to_string(::getpid()) + "." + what;
}

// The files of the last input go when the fuzzer ends normally; after a
// finding they stay, beside the input libFuzzer saved.
void RemoveFiles() {
  for (const char* what : kFiles)
    std::remove(PathOf(what).c_str());
}

std::string Write(const char* what, std::string_view text) {
  const std::string path = PathOf(what);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  return path;
}

// Cuts `text` at `marker`: what follows goes to `tail`, "" when absent.
bool Split(std::string_view& text, std::string_view marker, std::string_view& tail) {
  const std::size_t at = text.find(marker);
  if (at == std::string_view::npos) return false;
  tail = text.substr(at + marker.size());
  text = text.substr(0, at);
  return true;
}

void CheckRefusal(const std::string& message, const NcdImport::Inputs& in) {
  bool named = false;
  for (const std::string* path : {&in.netlist, &in.sdf, &in.pcf}) {
    named = named || (!path->empty() && message.rfind(*path + ":", 0) == 0);
  }
  Check(named, "the message names no input: " + message);
  Check(message.size() <= kLongestMessage, "a message too long: " + message.substr(0, 200));
  for (const char c : message)
    Check(static_cast<unsigned char>(c) >= 0x20, "a control character in: " + message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool cleanup = std::atexit(RemoveFiles) == 0;
  (void)cleanup;
  std::string_view netlist(reinterpret_cast<const char*>(data), size), sdf, pcf;
  const bool hasPcf = Split(netlist, "\n#PCF#\n", pcf);
  const bool hasSdf = Split(netlist, "\n#SDF#\n", sdf);
  NcdImport::Inputs in;
  in.netlist = Write("pnr.json", netlist);
  if (hasSdf) in.sdf = Write("sdf", sdf);
  if (hasPcf) in.pcf = Write("pcf", pcf);
  in.limit = kInputLimit;
  NcdImport::Notes notes;
  NcdImport::Design design;
  try {
    design = NcdImport::Import(in, notes);
  } catch (const NcdImport::Error& e) {
    CheckRefusal(e.what(), in);
    return 0;
  }
  std::ostringstream text;
  NcdImport::WriteDesign(design, text);
  const std::string written = Write("ncd.json", text.str());
  try {
    Pds_PahJsonLoader(written).Load();
  } catch (const Pds_Exception& e) {
    Check(false, std::string("the loader refuses the imported design: ") + e.what());
  }
  return 0;
}
