// Many MD5 digests at once (RFC 1321), one message per lane of the processor's vector
// unit: 16 lanes with AVX-512, 8 with AVX-512VL on 256-bit registers (quicker per step
// than 16 when few messages are at hand), 8 with AVX2. One MD5 stream is a chain of dependent
// steps that leaves most of a core idle; independent messages side by side fill it.
// A processor with neither instruction set gets the scalar kernel: one lane over
// Md5Stream (platform/md5.h).
//
// A lane carries one message at a time. Update appends to every lane at once (any
// lengths, an empty span leaves a lane as it is); Finish hands out the digests of the
// lanes named and starts them over. Lanes fed with different lengths cost nothing
// extra beyond the idle lanes of a step, so messages may end whenever they end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "platform/hash/md5.h"

namespace platform {

enum class Md5Kernel { kScalar, kAvx2, kAvx512Vl, kAvx512 };

inline constexpr Md5Kernel kMd5Kernels[] = {Md5Kernel::kScalar, Md5Kernel::kAvx2, Md5Kernel::kAvx512Vl,
                                            Md5Kernel::kAvx512};

// Whether this processor (and its operating system) can run the kernel.
bool Md5KernelSupported(Md5Kernel kernel);
// The widest kernel the processor runs.
Md5Kernel BestMd5Kernel();
std::size_t Md5KernelLanes(Md5Kernel kernel);
// "scalar", "avx2", "avx512vl", "avx512".
std::string_view Md5KernelName(Md5Kernel kernel);
std::optional<Md5Kernel> Md5KernelNamed(std::string_view name);

class Md5Lanes {
 public:
  // Throws std::invalid_argument for a kernel the processor cannot run; the scalar
  // kernel throws std::logic_error before BindMd5, as Md5Stream does.
  explicit Md5Lanes(Md5Kernel kernel = BestMd5Kernel());
  Md5Lanes(Md5Lanes&&) noexcept;
  Md5Lanes& operator=(Md5Lanes&&) noexcept;
  ~Md5Lanes();

  Md5Kernel kernel() const { return kernel_; }
  std::size_t size() const { return lanes_; }

  // Appends data[i] to the message of lane i; data.size() must equal size().
  void Update(std::span<const std::span<const std::uint8_t>> data);
  // The digests of the lanes named (each at most once), in that order; those lanes
  // then start a new message.
  void Finish(std::span<const std::size_t> lanes, std::span<Md5Digest> digests);
  Md5Digest Finish(std::size_t lane);
  // Drops the lane's message and starts a new one.
  void Restart(std::size_t lane);

 private:
  struct Vector;
  struct Scalar;

  Md5Kernel kernel_;
  std::size_t lanes_;
  std::unique_ptr<Vector> vector_;
  std::unique_ptr<Scalar> scalar_;
};

// The digests of whole messages, as many at a time as the kernel has lanes. A message
// left alone in the last group goes through Md5(), which is faster for one stream (so
// BindMd5 must have succeeded).
void Md5Many(std::span<const std::span<const std::uint8_t>> messages, std::span<Md5Digest> digests,
             Md5Kernel kernel = BestMd5Kernel());

}  // namespace platform
