// The order of signed releases. The publisher stamps every signed version file with a
// release sequence number, in bytes the version stage does not read and the signature
// covers, so that a client that checks no signature sees the file it always saw. A
// signed client keeps the highest number it has accepted from its version host in the
// install directory and never uses a release with a lower one: an older signed release
// that a man in the middle serves again. A version file without the stamp counts as
// number 0, which is what every release signed before the stamp was.
//
// What this does not stop: a client with no record (a first install, or an install
// directory emptied) accepts any signed release, an older one replayed as well.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {
class InstallRoot;
}

namespace krdn {

// The stamp: a tag of 8 bytes, then the number as 8 little-endian bytes, at bytes 224
// to 239 of the version file, before the version bytes at 240.
inline constexpr std::size_t kReleaseSequenceOffset = 224;
inline constexpr std::string_view kReleaseSequenceTag = "krdn-seq";
inline constexpr std::size_t kReleaseSequenceEnd = kReleaseSequenceOffset + 16;

// The number a version file is stamped with; 0 when it carries no stamp.
std::uint64_t ReleaseSequenceOf(std::span<const std::uint8_t> version_file);

// Stamps the number into a version file of at least kReleaseSequenceEnd bytes.
void StampReleaseSequence(std::span<std::uint8_t> version_file, std::uint64_t sequence);

// The record in the install directory: a line "<number> <version host>" for each
// version host a signed release was accepted from, replaced as a whole (written beside
// it and renamed over it), so that a run that dies while writing it leaves the old one.
inline constexpr char16_t kReleaseOrderFileName[] = u"\\tern.sav.order";
inline constexpr char16_t kReleaseOrderScratchName[] = u"\\tern.sav.order.new";

// The highest number accepted from the host: 0 when nothing is recorded for it (no
// record, or a record without the host's line). Nothing when a record is there but
// cannot be read, because then the order is not known.
std::optional<std::uint64_t> AcceptedReleaseSequence(const platform::InstallRoot& root, std::string_view host);

// Records the number as the highest accepted from the host, keeping the other hosts'
// lines. False when the record cannot be replaced.
bool RecordAcceptedRelease(const platform::InstallRoot& root, std::string_view host, std::uint64_t sequence);

}  // namespace krdn
