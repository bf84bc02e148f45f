// Room on the disk for the download pass. Before the pass, the bytes it still has to
// add (each listed file's manifest size less what the file already holds, never below
// zero) must fit into the free space of the install directory's file system with a
// margin to spare; otherwise the run ends at once, before any piece is requested, with
// a text that says how much it needs and how much there is. A write that finds the disk
// full during the pass ends the run with the same text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace krdn {

class Run;
struct RepairItem;

// What the disk must keep free beyond the bytes to write: the system and other
// programs go on writing meanwhile.
inline constexpr std::uint64_t kDiskSpaceMargin = std::uint64_t{64} << 20;

// The bytes the items still add on disk.
std::uint64_t BytesToWrite(std::span<const RepairItem> items);

// The space the pass asks for: the bytes to write and the margin; nothing when there is
// nothing to write (files repaired in place take no room).
std::optional<std::uint64_t> SpaceNeeded(std::uint64_t bytes_to_write);

// "磁盘空间不足：还需要 1.2 GB，可用 0.3 GB。": both figures in the unit of the larger
// (GB from 1 GiB on, else MB; 1024-based, as the desktop shows sizes), with one
// decimal, the need rounded up and the free space down, so that a need above the free
// space never looks equal to it.
std::u16string DiskSpaceText(std::uint64_t needed, std::uint64_t available);

// Ends the run with the disk-space text when the items do not fit.
void CheckDiskSpace(Run& run, std::span<const RepairItem> items);

// After a write that failed for want of space: ends the current file's status line
// with "失败" and the run with the disk-space text, bytes_to_write being what the pass
// still had to add.
[[noreturn]] void FailForSpace(Run& run, std::uint64_t bytes_to_write);

}  // namespace krdn
