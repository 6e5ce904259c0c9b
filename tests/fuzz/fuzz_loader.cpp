// libFuzzer target for the design loader: every input either loads, and
// then every object of the view answers every question consistently, or is
// refused with Pds_Exception "<file>:<line>:<column>: <cause>", where the
// cause is one line of bounded length. Anything else (another exception, a
// malformed message, an inconsistent view, a sanitizer report) is a finding.
//
// Each input is loaded twice, on one thread and on two (the second thread
// reading a part wherever the file allows one): both must answer alike.
//
// The input goes through a file, as designs do: the loader reads files.
// The file's "faults" hooks that the public loader plays (a delay, a chosen
// exception) are not played here.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "FuzzWalk.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "ViewDescription.h"
#include "XCad_CadModel.h"
#include "XCad_CadView.h"
#include "Xdm_ViewStore.h"

namespace {

// A quoted name is at most 64 characters (4 bytes each, escapes 6): with
// two names, a path and the fixed text, no cause comes near this.
constexpr std::size_t kLongestCause = 1024;

const std::string& InputPath() {
  static const std::string path = [] {
    const char* dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/fuzz_loader." + std::to_string(::getpid()) + ".ncd.json";
  }();
  return path;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
         text[0] != '0';
}

// "<file>:<line>:<column>: <cause>", line and column from 1, one line.
void CheckRefusal(const std::string& message) {
  const std::string& path = InputPath();
  FuzzCheck(message.compare(0, path.size() + 1, path + ":") == 0, message);
  const std::size_t lineEnd = message.find(':', path.size() + 1);
  FuzzCheck(lineEnd != std::string::npos, message);
  const std::size_t columnEnd = message.find(": ", lineEnd + 1);
  FuzzCheck(columnEnd != std::string::npos, message);
  FuzzCheck(AllDigits(message.substr(path.size() + 1, lineEnd - path.size() - 1)), message);
  FuzzCheck(AllDigits(message.substr(lineEnd + 1, columnEnd - lineEnd - 1)), message);
  const std::string cause = message.substr(columnEnd + 2);
  FuzzCheck(!cause.empty() && cause.size() <= kLongestCause, message);
  for (const char c : cause)
    FuzzCheck(static_cast<unsigned char>(c) >= 0x20, message);
}

// What a load answers: the refusal, or the view's description.
struct Outcome {
  std::string refusal;
  std::string view;
};

// Loads on one thread, or on two wherever the file allows (a part from the
// first array of blocks on); checks the view's answers.
Outcome Load(const std::string& path, bool twoThreads) {
  Pds_PahJsonLoader::SetSplitMinimum(twoThreads ? 0 : std::numeric_limits<std::uint64_t>::max());
  std::unique_ptr<Xdm_ViewStore> store;
  try {
    Pds_PahJsonLoader loader(path);
    store = loader.Load();
  } catch (const Pds_Exception& e) {
    CheckRefusal(e.what());
    return {e.what(), {}};
  }
  XCad_CadModel model(path.c_str(), "fuzz", store->m_partName.c_str());
  Xdm_Access::Adopt(*model.GetView(), std::move(store));
  if (twoThreads) FuzzWalk(*model.GetView());
  return {{}, DescribeView(*model.GetView())};
}

}  // namespace

// Both loads answer alike: the same refusal, or views that describe alike.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = InputPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  const Outcome one = Load(path, false);
  const Outcome two = Load(path, true);
  FuzzCheck(one.refusal == two.refusal, "one thread: " + one.refusal + "\ntwo: " + two.refusal);
  FuzzCheck(one.view == two.view, "the view read on two threads differs");
  return 0;
}
