// The 8-lane MD5 kernel with AVX2 (platform/md5_lanes_ymm.inc).
//
// Every function here carries its own target attribute, so the instructions stay
// inside these functions and the file builds with the project's ordinary flags.
#include <immintrin.h>

#include <algorithm>

#include "platform/hash/md5_lanes_kernels.h"

#define KRDN_YMM_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace platform::md5_lanes {
namespace {

#include "platform/hash/md5_lanes_ymm.inc"

// F, G, H and I, each written so that the operand computed last (b) enters late.
template <int Step>
KRDN_YMM_INLINE Vec RoundFunction(Vec b, Vec c, Vec d) {
  if constexpr (Step < 16) {
    return _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));  // (b & c) | (~b & d)
  } else if constexpr (Step < 32) {
    return _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c)));  // (b & d) | (c & ~d)
  } else if constexpr (Step < 48) {
    return _mm256_xor_si256(b, _mm256_xor_si256(c, d));
  } else {
    return _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));  // c ^ (b | ~d)
  }
}

template <int Shift>
KRDN_YMM_INLINE Vec RotateLeft(Vec x) {
  return _mm256_or_si256(_mm256_slli_epi32(x, Shift), _mm256_srli_epi32(x, 32 - Shift));
}

}  // namespace

__attribute__((target("avx2"))) void CompressAvx2(LaneWords& words, const std::uint8_t* const* data,
                                                   const std::uint32_t* blocks) {
  CompressYmm(words, data, blocks);
}

bool ProcessorHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace platform::md5_lanes
