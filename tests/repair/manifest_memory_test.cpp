// What a manifest costs in memory. A refused one: the parse of a manifest beyond its
// bounds stays within a small margin of an empty manifest's, measured as the process's
// peak resident set (VmHWM), which /proc/self/clear_refs sets back to the current size
// before each parse. A parsed one: what it keeps per entry, counted by the allocator
// (glibc's bytes in use), and the peak of its parse. The figures are printed for the
// record.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "repair/manifest.h"
#include "transfer/digest.h"

namespace {

constexpr std::size_t kMarginKiB = 64 * 1024;

std::size_t PeakKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6));
  }
  return 0;
}

bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

// The served form with the 0 byte the manifest stage appends.
std::vector<std::uint8_t> Served(const std::string& text) {
  const std::string all = krdn::Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) + text;
  std::vector<std::uint8_t> bytes(all.begin(), all.end());
  bytes.push_back(0);
  return bytes;
}

// The peak above the memory in use before the parse, in KiB; the input is built before.
std::size_t PeakOfParse(const std::vector<std::uint8_t>& bytes, int& result) {
  EXPECT_TRUE(ResetPeak());
  const std::size_t before = PeakKiB();
  krdn::Manifest manifest;
  result = krdn::ParseManifest(manifest, bytes);
  return PeakKiB() - before;
}

class RefusedManifestMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(krdn::BindMd5(), 0);
    ASSERT_GT(PeakKiB(), 0u) << "no VmHWM in /proc/self/status";
    int result = -1;
    empty_ = PeakOfParse(Served(",0\n"), result);
    ASSERT_EQ(result, 0);
  }

  void ExpectRefusedWithinMargin(const char* what, const std::vector<std::uint8_t>& bytes) {
    int result = 0;
    const std::size_t peak = PeakOfParse(bytes, result);
    EXPECT_EQ(result, -1) << what;
    std::printf("%s (%zu bytes): peak %zu KiB above the parse, the empty manifest's %zu KiB\n", what, bytes.size(),
                peak, empty_);
    EXPECT_LT(peak, empty_ + kMarginKiB) << what;
  }

  std::size_t empty_ = 0;
};

TEST_F(RefusedManifestMemory, ALineOfTwentyThousandComponents) {
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "\\a";
  ExpectRefusedWithinMargin("20,000 components", Served(",1\n" + line + ",0\n"));
}

// Heap bytes in use: the allocator's own count, exact whatever the pages do.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// 200,000 files of one piece, 1,000 to a folder, and 20,000 files of ten pieces: what
// the parsed manifest keeps beyond its paths' characters is at most 300 bytes per file
// of one piece and 64 per further piece; the parse's peak stays within six times the
// manifest's own size (less where the heap reuses what was freed before).
TEST(ParsedManifestMemory, KeepsAtMostThreeHundredBytesPerFileBeyondItsPath) {
  ASSERT_EQ(krdn::BindMd5(), 0);
  struct Case {
    std::size_t files;
    std::size_t pieces;
    double most_per_file;
  };
  for (const Case& shape : {Case{200'000, 1, 300.0}, Case{20'000, 10, 300.0 + 9 * 64.0}}) {
    std::string text = "," + std::to_string(shape.files) + "\r\n";
    for (std::size_t i = 0; i < shape.files; ++i) {
      char path[48];
      std::snprintf(path, sizeof path, "\\d%04zu\\f%07zu.dat,%zu", i / 1000, i, shape.pieces);
      text += path;
      for (std::size_t p = 0; p < shape.pieces; ++p) text += ",4194304,0123456789ABCDEF0123456789ABCDEF";
      text += "\r\n";
    }
    const std::vector<std::uint8_t> bytes = Served(text);
    ASSERT_TRUE(ResetPeak());
    const std::size_t peak_before = PeakKiB();
    const std::size_t heap_before = HeapInUse();
    auto manifest = std::make_unique<krdn::Manifest>();
    ASSERT_EQ(krdn::ParseManifest(*manifest, bytes), 0);
    const std::size_t peak_kib = PeakKiB() - peak_before;
    std::size_t path_bytes = 0;
    for (const krdn::ManifestFile& file : manifest->files) path_bytes += file.path.size() * sizeof(char16_t);
    ASSERT_EQ(manifest->files.size(), shape.files);
    const double per_file =
        static_cast<double>(HeapInUse() - heap_before - path_bytes) / static_cast<double>(shape.files);
    std::printf("%zu files of %zu pieces (%zu bytes): %.1f bytes kept per file beyond its path, parse peak %zu KiB\n",
                shape.files, shape.pieces, bytes.size(), per_file, peak_kib);
    EXPECT_LE(per_file, shape.most_per_file);
    EXPECT_GT(per_file, 40.0 * static_cast<double>(shape.pieces)) << "the count sees the manifest at all";
    // On fresh memory the peak is what the parse keeps and the path claims, about four
    // and a half times the manifest's bytes for these short paths; holding the text
    // twice again, or a copy of every line, would pass six.
    EXPECT_LT(peak_kib * 1024, 6 * bytes.size()) << "the parse's peak grows with the manifest's size";
    manifest.reset();
  }
}

TEST_F(RefusedManifestMemory, AMillionAndOneFiles) {
  std::string text = ",1\n";
  for (std::size_t i = 0; i <= 1'000'000; ++i) text += "\\f" + std::to_string(i) + ",0\n";
  ExpectRefusedWithinMargin("1,000,001 files", Served(text));
}

}  // namespace
