// The MD5 compression function of RFC 1321 over 16 lanes of AVX-512F: one 32-bit
// element per lane, so one instruction runs the same step of 16 independent messages.
// The round functions F, G, H and I are single ternary-logic instructions and the
// rotations single vprold, which keeps a step to five instructions.
//
// Every function here carries its own target attribute, so the instructions stay
// inside these functions and the file builds with the project's ordinary flags.
#include <immintrin.h>

// GCC 12 takes the deliberately undefined source of the unmasked shuffles for an
// uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <algorithm>

#include "platform/hash/md5_lanes_kernels.h"

#define KRDN_AVX512_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace platform::md5_lanes {
namespace {

using Vec = __m512i;
constexpr int kLanes = 16;

alignas(64) constexpr std::uint8_t kIdleBlock[kBlockBytes] = {};

template <int Step>
KRDN_AVX512_INLINE Vec RoundFunction(Vec b, Vec c, Vec d) {
  return _mm512_ternarylogic_epi32(b, c, d, kRoundTruthTables[Step / 16]);
}

// Steps Step..63. The next step works on the word before: (a, b, c, d) become
// (d, a, b, c), so after 64 steps every name holds its own word again.
template <int Step>
KRDN_AVX512_INLINE void Steps(Vec& a, Vec& b, Vec& c, Vec& d, const Vec* m) {
  if constexpr (Step < 64) {
    const Vec constant = _mm512_set1_epi32(static_cast<int>(kSines[Step]));
    const Vec sum = _mm512_add_epi32(_mm512_add_epi32(a, m[WordOfStep(Step)]), constant);
    a = _mm512_add_epi32(b, _mm512_rol_epi32(_mm512_add_epi32(sum, RoundFunction<Step>(b, c, d)), ShiftOfStep(Step)));
    Steps<Step + 1>(d, a, b, c, m);
  }
}

// Turns one 64-byte block per lane (a row of 16 words each) into the 16 message words
// with one element per lane: a 16 x 16 transpose of 32-bit words.
KRDN_AVX512_INLINE void LoadMessageWords(const std::uint8_t* const* rows, Vec* m) {
  Vec r[kLanes];
  for (int i = 0; i < kLanes; ++i) r[i] = _mm512_loadu_si512(rows[i]);
  // Pairs of rows interleaved word by word within each 128-bit quarter.
  Vec pairs[kLanes];
  for (int i = 0; i < kLanes; i += 2) {
    pairs[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
    pairs[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
  }
  // quads[4g + e], quarter q: word 4q + e of rows 4g..4g+3.
  Vec quads[kLanes];
  for (int g = 0; g < 4; ++g) {
    const Vec* p = pairs + 4 * g;
    quads[4 * g + 0] = _mm512_unpacklo_epi64(p[0], p[2]);
    quads[4 * g + 1] = _mm512_unpackhi_epi64(p[0], p[2]);
    quads[4 * g + 2] = _mm512_unpacklo_epi64(p[1], p[3]);
    quads[4 * g + 3] = _mm512_unpackhi_epi64(p[1], p[3]);
  }
  // Word 4q + e gathers quarter q of quads[e], quads[4 + e], quads[8 + e], quads[12 + e].
  for (int e = 0; e < 4; ++e) {
    const Vec low01 = _mm512_shuffle_i32x4(quads[e], quads[4 + e], 0x44);
    const Vec high01 = _mm512_shuffle_i32x4(quads[e], quads[4 + e], 0xEE);
    const Vec low23 = _mm512_shuffle_i32x4(quads[8 + e], quads[12 + e], 0x44);
    const Vec high23 = _mm512_shuffle_i32x4(quads[8 + e], quads[12 + e], 0xEE);
    m[e] = _mm512_shuffle_i32x4(low01, low23, 0x88);
    m[4 + e] = _mm512_shuffle_i32x4(low01, low23, 0xDD);
    m[8 + e] = _mm512_shuffle_i32x4(high01, high23, 0x88);
    m[12 + e] = _mm512_shuffle_i32x4(high01, high23, 0xDD);
  }
}

}  // namespace

__attribute__((target("avx512f"))) void CompressAvx512(LaneWords& words, const std::uint8_t* const* data,
                                                        const std::uint32_t* blocks) {
  Vec a = _mm512_load_si512(words.a);
  Vec b = _mm512_load_si512(words.b);
  Vec c = _mm512_load_si512(words.c);
  Vec d = _mm512_load_si512(words.d);
  const std::uint32_t most = *std::max_element(blocks, blocks + kLanes);
  const std::uint8_t* rows[kLanes];
  for (std::uint32_t j = 0; j < most; ++j) {
    // Lanes whose blocks have run out digest an idle block and keep their words.
    __mmask16 active = 0;
    for (int i = 0; i < kLanes; ++i) {
      const bool has_block = j < blocks[i];
      rows[i] = has_block ? data[i] + std::size_t{j} * kBlockBytes : kIdleBlock;
      active = static_cast<__mmask16>(active | (has_block ? 1u << i : 0u));
    }
    Vec m[16];
    LoadMessageWords(rows, m);
    Vec na = a, nb = b, nc = c, nd = d;
    Steps<0>(na, nb, nc, nd, m);
    a = _mm512_mask_add_epi32(a, active, a, na);
    b = _mm512_mask_add_epi32(b, active, b, nb);
    c = _mm512_mask_add_epi32(c, active, c, nc);
    d = _mm512_mask_add_epi32(d, active, d, nd);
  }
  _mm512_store_si512(words.a, a);
  _mm512_store_si512(words.b, b);
  _mm512_store_si512(words.c, c);
  _mm512_store_si512(words.d, d);
}

bool ProcessorHasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f");
}

}  // namespace platform::md5_lanes
