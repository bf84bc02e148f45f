// The 8-lane MD5 kernel with AVX-512VL (platform/md5_lanes_ymm.inc): the 256-bit
// registers of AVX2, with AVX-512's single-instruction round functions (ternary logic)
// and rotations (vprold). A step's chain of dependent instructions is shorter than with
// AVX2, so 8 lanes run about a fifth faster; for the few pieces in flight of a download
// this beats 16 lanes of which most would idle.
//
// Every function here carries its own target attribute, so the instructions stay
// inside these functions and the file builds with the project's ordinary flags.
#include <immintrin.h>

#include <algorithm>

#include "platform/hash/md5_lanes_kernels.h"

#define KRDN_YMM_INLINE __attribute__((target("avx2,avx512f,avx512vl"), always_inline)) inline

namespace platform::md5_lanes {
namespace {

#include "platform/hash/md5_lanes_ymm.inc"

template <int Step>
KRDN_YMM_INLINE Vec RoundFunction(Vec b, Vec c, Vec d) {
  return _mm256_ternarylogic_epi32(b, c, d, kRoundTruthTables[Step / 16]);
}

template <int Shift>
KRDN_YMM_INLINE Vec RotateLeft(Vec x) {
  return _mm256_rol_epi32(x, Shift);
}

}  // namespace

__attribute__((target("avx2,avx512f,avx512vl"))) void CompressAvx512Vl(LaneWords& words,
                                                                        const std::uint8_t* const* data,
                                                                        const std::uint32_t* blocks) {
  CompressYmm(words, data, blocks);
}

bool ProcessorHasAvx512Vl() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
}

}  // namespace platform::md5_lanes
