// What a refused manifest costs in memory: the parse of a manifest beyond its bounds
// stays within a small margin of an empty manifest's, measured as the process's peak
// resident set (VmHWM), which /proc/self/clear_refs sets back to the current size
// before each parse. The figures are printed for the record.
#include <gtest/gtest.h>

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

TEST_F(RefusedManifestMemory, AMillionAndOneFiles) {
  std::string text = ",1\n";
  for (std::size_t i = 0; i <= 1'000'000; ++i) text += "\\f" + std::to_string(i) + ",0\n";
  ExpectRefusedWithinMargin("1,000,001 files", Served(text));
}

}  // namespace
