#include "repair/disk_space_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/base/utf.h"
#include "platform/io/disk_space.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "repair/verification.h"

namespace krdn {
namespace {

constexpr double kMebibyte = 1024.0 * 1024.0;
constexpr double kGibibyte = 1024.0 * kMebibyte;

// Tenths of the unit, rounded up or down.
std::u16string Figure(std::uint64_t bytes, double unit, const char* unit_name, bool round_up) {
  const double tenths = static_cast<double>(bytes) / unit * 10.0;
  const double rounded = round_up ? std::ceil(tenths - 1e-9) : std::floor(tenths + 1e-9);
  char text[48];
  std::snprintf(text, sizeof text, "%.1f %s", rounded / 10.0, unit_name);
  return platform::Utf8ToUtf16(text);
}

std::uint64_t FreeSpace(const Run& run) { return platform::FreeDiskSpace(run.install_directory()).value_or(0); }

}  // namespace

std::uint64_t BytesToWrite(std::span<const RepairItem> items) {
  std::uint64_t bytes = 0;
  for (const RepairItem& item : items) {
    if (item.expected_size > item.local_size) bytes += item.expected_size - item.local_size;
  }
  return bytes;
}

std::optional<std::uint64_t> SpaceNeeded(std::uint64_t bytes_to_write) {
  if (bytes_to_write == 0) return std::nullopt;
  return bytes_to_write + kDiskSpaceMargin;
}

std::u16string DiskSpaceText(std::uint64_t needed, std::uint64_t available) {
  const bool gigabytes = static_cast<double>(std::max(needed, available)) >= kGibibyte;
  const double unit = gigabytes ? kGibibyte : kMebibyte;
  const char* name = gigabytes ? "GB" : "MB";
  return text::kDiskSpaceShort + Figure(needed, unit, name, true) + text::kDiskSpaceAvailable +
         Figure(available, unit, name, false) + text::kDiskSpaceEnd;
}

void CheckDiskSpace(Run& run, std::span<const RepairItem> items) {
  const std::optional<std::uint64_t> needed = SpaceNeeded(BytesToWrite(items));
  if (!needed) return;
  const std::optional<std::uint64_t> available = platform::FreeDiskSpace(run.install_directory());
  // A system that cannot tell its free space leaves the question to the writes.
  if (!available || *needed <= *available) return;
  Run::End(DiskSpaceText(*needed, *available));
}

void FailForSpace(Run& run, std::uint64_t bytes_to_write) {
  run.Append(text::kOutcomeFailed);
  const std::uint64_t needed = SpaceNeeded(bytes_to_write).value_or(kDiskSpaceMargin);
  Run::End(DiskSpaceText(needed, FreeSpace(run)));
}

}  // namespace krdn
