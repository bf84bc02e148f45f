// The MD5 compression function of RFC 1321 over 8 lanes of AVX2: one 32-bit element
// per lane, so one instruction runs the same step of 8 independent messages.
//
// Every function here carries its own target attribute, so the instructions stay
// inside these functions and the file builds with the project's ordinary flags.
#include <immintrin.h>

#include <algorithm>

#include "platform/md5_lanes_kernels.h"

#define KRDN_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace platform::md5_lanes {
namespace {

using Vec = __m256i;
constexpr int kLanes = 8;

alignas(64) constexpr std::uint8_t kIdleBlock[kBlockBytes] = {};

// F, G, H and I, each written so that the operand computed last (b) enters late.
template <int Step>
KRDN_AVX2_INLINE Vec RoundFunction(Vec b, Vec c, Vec d) {
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
KRDN_AVX2_INLINE Vec RotateLeft(Vec x) {
  return _mm256_or_si256(_mm256_slli_epi32(x, Shift), _mm256_srli_epi32(x, 32 - Shift));
}

// Steps Step..63. The next step works on the word before: (a, b, c, d) become
// (d, a, b, c), so after 64 steps every name holds its own word again.
template <int Step>
KRDN_AVX2_INLINE void Steps(Vec& a, Vec& b, Vec& c, Vec& d, const Vec* m) {
  if constexpr (Step < 64) {
    const Vec constant = _mm256_set1_epi32(static_cast<int>(kSines[Step]));
    const Vec sum = _mm256_add_epi32(_mm256_add_epi32(a, m[WordOfStep(Step)]), constant);
    a = _mm256_add_epi32(b, RotateLeft<ShiftOfStep(Step)>(_mm256_add_epi32(sum, RoundFunction<Step>(b, c, d))));
    Steps<Step + 1>(d, a, b, c, m);
  }
}

// Eight words of every lane's block (the half at `half`) into m[0..7], one element
// per lane: an 8 x 8 transpose of 32-bit words.
KRDN_AVX2_INLINE void TransposeHalf(const std::uint8_t* const* rows, int half, Vec* m) {
  Vec r[kLanes];
  for (int i = 0; i < kLanes; ++i) {
    r[i] = _mm256_loadu_si256(reinterpret_cast<const Vec*>(rows[i] + 32 * half));
  }
  Vec pairs[kLanes];
  for (int i = 0; i < kLanes; i += 2) {
    pairs[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
    pairs[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
  }
  // quads[4g + e], 128-bit half q: word 4q + e of rows 4g..4g+3.
  Vec quads[kLanes];
  for (int g = 0; g < 2; ++g) {
    const Vec* p = pairs + 4 * g;
    quads[4 * g + 0] = _mm256_unpacklo_epi64(p[0], p[2]);
    quads[4 * g + 1] = _mm256_unpackhi_epi64(p[0], p[2]);
    quads[4 * g + 2] = _mm256_unpacklo_epi64(p[1], p[3]);
    quads[4 * g + 3] = _mm256_unpackhi_epi64(p[1], p[3]);
  }
  for (int e = 0; e < 4; ++e) {
    m[e] = _mm256_permute2x128_si256(quads[e], quads[4 + e], 0x20);
    m[4 + e] = _mm256_permute2x128_si256(quads[e], quads[4 + e], 0x31);
  }
}

}  // namespace

__attribute__((target("avx2"))) void CompressAvx2(LaneWords& words, const std::uint8_t* const* data,
                                                   const std::uint32_t* blocks) {
  Vec a = _mm256_load_si256(reinterpret_cast<const Vec*>(words.a));
  Vec b = _mm256_load_si256(reinterpret_cast<const Vec*>(words.b));
  Vec c = _mm256_load_si256(reinterpret_cast<const Vec*>(words.c));
  Vec d = _mm256_load_si256(reinterpret_cast<const Vec*>(words.d));
  const std::uint32_t most = *std::max_element(blocks, blocks + kLanes);
  const std::uint8_t* rows[kLanes];
  alignas(32) std::int32_t active[kLanes];
  for (std::uint32_t j = 0; j < most; ++j) {
    // Lanes whose blocks have run out digest an idle block and keep their words.
    for (int i = 0; i < kLanes; ++i) {
      const bool has_block = j < blocks[i];
      rows[i] = has_block ? data[i] + std::size_t{j} * kBlockBytes : kIdleBlock;
      active[i] = has_block ? -1 : 0;
    }
    const Vec mask = _mm256_load_si256(reinterpret_cast<const Vec*>(active));
    Vec m[16];
    TransposeHalf(rows, 0, m);
    TransposeHalf(rows, 1, m + 8);
    Vec na = a, nb = b, nc = c, nd = d;
    Steps<0>(na, nb, nc, nd, m);
    a = _mm256_add_epi32(a, _mm256_and_si256(na, mask));
    b = _mm256_add_epi32(b, _mm256_and_si256(nb, mask));
    c = _mm256_add_epi32(c, _mm256_and_si256(nc, mask));
    d = _mm256_add_epi32(d, _mm256_and_si256(nd, mask));
  }
  _mm256_store_si256(reinterpret_cast<Vec*>(words.a), a);
  _mm256_store_si256(reinterpret_cast<Vec*>(words.b), b);
  _mm256_store_si256(reinterpret_cast<Vec*>(words.c), c);
  _mm256_store_si256(reinterpret_cast<Vec*>(words.d), d);
}

bool ProcessorHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace platform::md5_lanes
