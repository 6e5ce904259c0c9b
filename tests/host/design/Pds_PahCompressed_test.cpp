// Design files stored gzip-compressed load as their plain text does, and
// report errors at positions in the decompressed text.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "DesignTestSupport.h"
#include "NcdGen.h"
#include "Pds_Exception.h"

namespace {

using namespace design_test;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `text` compressed into `name` in `dir`.
std::string WriteCompressed(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.Path(name);
  gzFile out = gzopen(path.c_str(), "wb9");
  EXPECT_NE(out, nullptr);
  const auto size = static_cast<unsigned>(text.size());
  if (size > 0) {
    EXPECT_EQ(gzwrite(out, text.data(), size), static_cast<int>(size));
  }
  gzclose(out);
  return path;
}

TEST(CompressedDesign, LoadsLikeItsPlainText) {
  TempDir dir;
  const std::string path = WriteCompressed(dir, "demo.ncd.json.gz", Slurp(DemoPath()));
  Loaded plain = Load(DemoPath());
  Loaded packed = Load(path);
  ASSERT_NE(packed.view, nullptr);
  EXPECT_EQ(packed.view->GetMaxBlocks(), plain.view->GetMaxBlocks());
  EXPECT_EQ(packed.view->GetMaxNetworks(), plain.view->GetMaxNetworks());
  EXPECT_STREQ(BlockAt(packed.view, "u_cnt/c0")->GetName(), "c0");
  EXPECT_NE(NetNamed(packed.view, "count<1>"), nullptr);
}

TEST(CompressedDesign, ErrorsArePlacedInTheDecompressedText) {
  TempDir dir;
  const std::string bad = "{\"format\": \"ncd-json\",\n  \"version\": 1 \"part\": \"p\"}";
  const std::string path = WriteCompressed(dir, "bad.gz", bad);
  EXPECT_EQ(Refusal(path), path + ":2:16: missing a comma or '}' after an object member");
  const std::string empty = WriteCompressed(dir, "empty.gz", "");
  EXPECT_EQ(Refusal(empty), empty + ":1:1: the file is empty");
}

// A file cut short or with damaged bytes is refused, never read as a
// shorter design.
TEST(CompressedDesign, DamagedDataIsRefused) {
  TempDir dir;
  std::string text = Slurp(DemoPath());
  const std::string whole = Slurp(WriteCompressed(dir, "whole.gz", text));
  const std::string cut = dir.Write("cut.gz", whole.substr(0, whole.size() / 2));
  EXPECT_NE(Refusal(cut).find(": the compressed data is cut short"), std::string::npos)
      << Refusal(cut);
  std::string damaged = whole;
  for (std::size_t i = 40; i < 60; ++i)
    damaged[i] = static_cast<char>(damaged[i] ^ 0x55);
  const std::string broken = dir.Write("broken.gz", damaged);
  EXPECT_NE(Refusal(broken).find(": corrupt compressed data: "), std::string::npos)
      << Refusal(broken);
}

// Data that turns corrupt deep in the stream is placed after the good
// text read before it (zlib gives up a read that meets the damage whole:
// the last 64 KiB read), and zlib's message is given without its own name
// for the file.
TEST(CompressedDesign, CorruptDataIsPlacedAfterTheGoodTextRead) {
  TempDir dir;
  std::ostringstream design;
  NcdGen::WriteDesign(NcdGen::Options{2000, 3}, design);
  const std::string text = design.str().substr(0, 200000);
  // A gzip header, the text as raw deflate blocks, then a block of the
  // reserved type.
  std::string packed("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string body(deflateBound(&z, text.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(body.data());
  z.avail_out = static_cast<uInt>(body.size());
  ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  body.resize(body.size() - z.avail_out);
  deflateEnd(&z);
  const std::string path = dir.Write("corrupt.gz", packed + body + std::string(64, '\x07'));
  const std::string read = text.substr(0, text.size() / (64 * 1024) * (64 * 1024));
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(read.begin(), read.end(), '\n'));
  const std::size_t column = read.size() - read.rfind('\n');
  ASSERT_GT(line, 1u);
  EXPECT_EQ(Refusal(path), path + ":" + std::to_string(line) + ":" + std::to_string(column) +
                               ": corrupt compressed data: invalid block type");
}

// A message that quotes a number read again from the file (one the end of
// the 64 KiB buffer cut) quotes it whole, compressed or not.
TEST(CompressedDesign, NumbersCutByTheBufferAreQuotedWhole) {
  TempDir dir;
  const std::string head = "{\"format\": \"ncd-json\", \"version\": ";
  const std::string text =
      "{" + std::string(64 * 1024 - 10 - head.size() + 1, ' ') + head.substr(1) +
      "99999999999999999999, \"part\": \"p\", \"top\": {\"name\": \"t\", \"level\": 0}}";
  const std::string cause = ": unsupported version 99999999999999999999 (this reader knows 1)";
  const std::string plain = dir.Write("cut.ncd.json", text);
  const std::string packed = WriteCompressed(dir, "cut.ncd.json.gz", text);
  EXPECT_EQ(Refusal(plain), plain + ":1:" + std::to_string(64 * 1024 - 8) + cause);
  EXPECT_EQ(Refusal(packed), packed + ":1:" + std::to_string(64 * 1024 - 8) + cause);
}

}  // namespace
