#include "platform/hash/md5_lanes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/hash/md5_lanes_kernels.h"

namespace platform {
namespace {

using md5_lanes::kBlockBytes;
using md5_lanes::kMaxLanes;
using CompressFunction = void (*)(md5_lanes::LaneWords&, const std::uint8_t* const*, const std::uint32_t*);

CompressFunction CompressFor(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::kAvx512:
      return md5_lanes::CompressAvx512;
    case Md5Kernel::kAvx512Vl:
      return md5_lanes::CompressAvx512Vl;
    default:
      return md5_lanes::CompressAvx2;
  }
}

void PutLittleEndian(std::uint8_t* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

bool Md5KernelSupported(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::kScalar:
      return true;
    case Md5Kernel::kAvx2:
      return md5_lanes::ProcessorHasAvx2();
    case Md5Kernel::kAvx512Vl:
      return md5_lanes::ProcessorHasAvx512Vl();
    case Md5Kernel::kAvx512:
      return md5_lanes::ProcessorHasAvx512();
  }
  return false;
}

Md5Kernel BestMd5Kernel() {
  if (Md5KernelSupported(Md5Kernel::kAvx512)) return Md5Kernel::kAvx512;
  if (Md5KernelSupported(Md5Kernel::kAvx2)) return Md5Kernel::kAvx2;
  return Md5Kernel::kScalar;
}

std::size_t Md5KernelLanes(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::kScalar:
      return 1;
    case Md5Kernel::kAvx2:
    case Md5Kernel::kAvx512Vl:
      return 8;
    case Md5Kernel::kAvx512:
      return 16;
  }
  return 1;
}

std::string_view Md5KernelName(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::kScalar:
      return "scalar";
    case Md5Kernel::kAvx2:
      return "avx2";
    case Md5Kernel::kAvx512Vl:
      return "avx512vl";
    case Md5Kernel::kAvx512:
      return "avx512";
  }
  return "?";
}

std::optional<Md5Kernel> Md5KernelNamed(std::string_view name) {
  for (const Md5Kernel kernel : kMd5Kernels) {
    if (Md5KernelName(kernel) == name) return kernel;
  }
  return std::nullopt;
}

// The vector kernels' lanes: their chaining words, and per lane the bytes of a block
// not yet complete (with room for the two blocks of padding) and the message length.
struct Md5Lanes::Vector {
  explicit Vector(Md5Kernel kernel) : compress(CompressFor(kernel)) {
    for (std::size_t lane = 0; lane < kMaxLanes; ++lane) Restart(lane);
  }

  void Restart(std::size_t lane) {
    words.a[lane] = md5_lanes::kInitialA;
    words.b[lane] = md5_lanes::kInitialB;
    words.c[lane] = md5_lanes::kInitialC;
    words.d[lane] = md5_lanes::kInitialD;
    pending_size[lane] = 0;
    length[lane] = 0;
  }

  md5_lanes::LaneWords words;
  CompressFunction compress;
  std::array<std::array<std::uint8_t, 2 * kBlockBytes>, kMaxLanes> pending{};
  std::array<std::size_t, kMaxLanes> pending_size{};
  std::array<std::uint64_t, kMaxLanes> length{};
};

struct Md5Lanes::Scalar {
  Md5Stream stream;
};

Md5Lanes::Md5Lanes(Md5Kernel kernel) : kernel_(kernel), lanes_(Md5KernelLanes(kernel)) {
  if (!Md5KernelSupported(kernel)) {
    throw std::invalid_argument("this processor cannot run the " + std::string(Md5KernelName(kernel)) + " MD5 kernel");
  }
  if (kernel == Md5Kernel::kScalar) {
    scalar_ = std::make_unique<Scalar>();
  } else {
    vector_ = std::make_unique<Vector>(kernel);
  }
}

Md5Lanes::Md5Lanes(Md5Lanes&&) noexcept = default;
Md5Lanes& Md5Lanes::operator=(Md5Lanes&&) noexcept = default;
Md5Lanes::~Md5Lanes() = default;

void Md5Lanes::Update(std::span<const std::span<const std::uint8_t>> data) {
  if (data.size() != lanes_) throw std::invalid_argument("Md5Lanes::Update wants one span per lane");
  if (scalar_) {
    scalar_->stream.Update(data[0]);
    return;
  }
  Vector& v = *vector_;
  std::array<const std::uint8_t*, kMaxLanes> from{};
  std::array<std::uint32_t, kMaxLanes> blocks{};
  std::array<std::span<const std::uint8_t>, kMaxLanes> rest{};
  // First the lanes that complete a block begun by an earlier update.
  bool any = false;
  for (std::size_t lane = 0; lane < lanes_; ++lane) {
    rest[lane] = data[lane];
    v.length[lane] += data[lane].size();
    if (v.pending_size[lane] == 0 || rest[lane].empty()) continue;
    const std::size_t take = std::min(kBlockBytes - v.pending_size[lane], rest[lane].size());
    std::memcpy(v.pending[lane].data() + v.pending_size[lane], rest[lane].data(), take);
    v.pending_size[lane] += take;
    rest[lane] = rest[lane].subspan(take);
    if (v.pending_size[lane] == kBlockBytes) {
      from[lane] = v.pending[lane].data();
      blocks[lane] = 1;
      v.pending_size[lane] = 0;
      any = true;
    }
  }
  if (any) v.compress(v.words, from.data(), blocks.data());
  // Then whole blocks straight from the caller's memory.
  for (;;) {
    any = false;
    for (std::size_t lane = 0; lane < lanes_; ++lane) {
      const std::size_t whole = std::min<std::size_t>(rest[lane].size() / kBlockBytes, md5_lanes::kMaxBlocksPerCall);
      from[lane] = rest[lane].data();
      blocks[lane] = static_cast<std::uint32_t>(whole);
      rest[lane] = rest[lane].subspan(whole * kBlockBytes);
      any = any || whole > 0;
    }
    if (!any) break;
    v.compress(v.words, from.data(), blocks.data());
  }
  // What is left of each lane is less than a block; its pending block is empty now.
  for (std::size_t lane = 0; lane < lanes_; ++lane) {
    if (rest[lane].empty()) continue;
    std::memcpy(v.pending[lane].data(), rest[lane].data(), rest[lane].size());
    v.pending_size[lane] = rest[lane].size();
  }
}

void Md5Lanes::Finish(std::span<const std::size_t> lanes, std::span<Md5Digest> digests) {
  if (lanes.size() != digests.size()) throw std::invalid_argument("Md5Lanes::Finish wants a digest per lane");
  for (const std::size_t lane : lanes) {
    if (lane >= lanes_) throw std::out_of_range("Md5Lanes::Finish: no such lane");
  }
  if (scalar_) {
    for (Md5Digest& digest : digests) digest = scalar_->stream.Finish();
    return;
  }
  // Padding: 0x80, zeros up to 8 bytes before a block's end, the length in bits.
  Vector& v = *vector_;
  std::array<const std::uint8_t*, kMaxLanes> from{};
  std::array<std::uint32_t, kMaxLanes> blocks{};
  for (const std::size_t lane : lanes) {
    std::uint8_t* block = v.pending[lane].data();
    const std::size_t used = v.pending_size[lane];
    const std::size_t padded = used < kBlockBytes - 8 ? kBlockBytes : 2 * kBlockBytes;
    block[used] = 0x80;
    std::memset(block + used + 1, 0, padded - used - 1 - 8);
    PutLittleEndian(block + padded - 8, v.length[lane] * 8, 8);
    from[lane] = block;
    blocks[lane] = static_cast<std::uint32_t>(padded / kBlockBytes);
  }
  v.compress(v.words, from.data(), blocks.data());
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    const std::size_t lane = lanes[i];
    PutLittleEndian(digests[i].data(), v.words.a[lane], 4);
    PutLittleEndian(digests[i].data() + 4, v.words.b[lane], 4);
    PutLittleEndian(digests[i].data() + 8, v.words.c[lane], 4);
    PutLittleEndian(digests[i].data() + 12, v.words.d[lane], 4);
    v.Restart(lane);
  }
}

Md5Digest Md5Lanes::Finish(std::size_t lane) {
  Md5Digest digest{};
  Finish(std::span(&lane, 1), std::span(&digest, 1));
  return digest;
}

void Md5Lanes::Restart(std::size_t lane) {
  if (lane >= lanes_) throw std::out_of_range("Md5Lanes::Restart: no such lane");
  if (scalar_) {
    scalar_->stream = Md5Stream();
  } else {
    vector_->Restart(lane);
  }
}

void Md5Many(std::span<const std::span<const std::uint8_t>> messages, std::span<Md5Digest> digests,
             Md5Kernel kernel) {
  if (messages.size() != digests.size()) throw std::invalid_argument("Md5Many wants a digest per message");
  Md5Lanes lanes(kernel);
  const std::size_t width = lanes.size();
  std::vector<std::span<const std::uint8_t>> group(width);
  std::vector<std::size_t> used(width);
  for (std::size_t first = 0; first < messages.size(); first += width) {
    const std::size_t count = std::min(width, messages.size() - first);
    if (count == 1) {
      digests[first] = Md5(messages[first]);
      continue;
    }
    for (std::size_t lane = 0; lane < width; ++lane) {
      group[lane] = lane < count ? messages[first + lane] : std::span<const std::uint8_t>{};
      used[lane] = lane;
    }
    lanes.Update(group);
    lanes.Finish(std::span(used).first(count), digests.subspan(first, count));
  }
}

}  // namespace platform
