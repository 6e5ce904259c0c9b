// Write access tests and full path names.
#include "Port_File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using Port::FileName;
using Port::StringBase;
namespace fs = std::filesystem;

namespace {

// A fresh folder under the test temporary folder, removed afterwards.
class FileAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::path(::testing::TempDir()) / ("port_file_" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(m_dir / "ro.txt", fs::perms::owner_all, ec);
    fs::remove_all(m_dir, ec);
  }
  std::string touch(const char* name) {
    const std::string path = (m_dir / name).string();
    std::ofstream(path) << "x";
    return path;
  }
  fs::path m_dir;
};

}  // namespace

TEST_F(FileAccess, CanWriteNeedsAnExistingWritableFile) {
  EXPECT_TRUE(Port::File::canwrite(touch("rw.txt")));
  EXPECT_FALSE(Port::File::canwrite((m_dir / "missing.txt").string()));
  EXPECT_FALSE(Port::File::canwrite((m_dir / "no-such-folder" / "f.txt").string()));
  EXPECT_FALSE(Port::File::canwrite(""));
}

// A file without write bits is read-only for every process, root included
// (the kernel would let root write it; the design tools must not).
TEST_F(FileAccess, CanWriteRefusesReadOnlyFile) {
  const std::string path = touch("ro.txt");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(Port::File::canwrite(path));
}

TEST(FileName, RelativeBecomesAbsoluteAndNormal) {
  const std::string cwd = fs::current_path().string();
  StringBase drive("x"), folder, base, ext;
  const StringBase full =
      FileName("a/./b/../c.txt").GetFullName(true, &drive, &folder, &base, &ext, false);
  EXPECT_EQ(full.str(), cwd + "/a/c.txt");
  EXPECT_EQ(drive.str(), "");
  EXPECT_EQ(folder.str(), cwd + "/a");
  EXPECT_EQ(base.str(), "c");
  EXPECT_EQ(ext.str(), ".txt");
}

TEST(FileName, NormalisesAbsolutePaths) {
  auto full = [](const char* p) {
    return FileName(p).GetFullName(true, nullptr, nullptr, nullptr, nullptr, false).str();
  };
  EXPECT_EQ(full("/x//y/"), "/x/y");
  EXPECT_EQ(full("/x/../../y/./z"), "/y/z");
  EXPECT_EQ(full("/x/.."), "/");
  EXPECT_EQ(full("/"), "/");
  EXPECT_EQ(full(""), "");

  StringBase folder, base, ext;
  FileName("/d/b.tar.gz").GetFullName(true, nullptr, &folder, &base, &ext, false);
  EXPECT_EQ(folder.str(), "/d");
  EXPECT_EQ(base.str(), "b.tar");
  EXPECT_EQ(ext.str(), ".gz");
}
