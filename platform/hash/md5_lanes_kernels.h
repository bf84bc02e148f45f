// Inside the MD5 lanes: the round constants of RFC 1321 and the vector compression
// kernels. Only platform/md5_lanes*.cpp include this.
//
// The kernels are compiled for instruction sets the processor may lack (through
// function target attributes, so nothing else in the program uses those
// instructions); call one only after its Processor... check said yes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::md5_lanes {

inline constexpr std::size_t kMaxLanes = 16;
inline constexpr std::size_t kBlockBytes = 64;
// A kernel call takes at most this many blocks per lane (the counts are compared as
// signed 32-bit numbers inside the vector code).
inline constexpr std::uint32_t kMaxBlocksPerCall = 1u << 24;

// The chaining words of every lane, one array per word, so that one vector load takes
// the same word of every lane.
struct alignas(64) LaneWords {
  std::uint32_t a[kMaxLanes];
  std::uint32_t b[kMaxLanes];
  std::uint32_t c[kMaxLanes];
  std::uint32_t d[kMaxLanes];
};

inline constexpr std::uint32_t kInitialA = 0x67452301;
inline constexpr std::uint32_t kInitialB = 0xefcdab89;
inline constexpr std::uint32_t kInitialC = 0x98badcfe;
inline constexpr std::uint32_t kInitialD = 0x10325476;

// T[i] = floor(2^32 * |sin(i + 1)|), the additive constant of step i.
inline constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// F, G, H and I as truth tables over (b, c, d) for a ternary-logic instruction, with
// b = 0xF0, c = 0xCC, d = 0xAA.
inline constexpr int kRoundTruthTables[4] = {0xCA, 0xE4, 0x96, 0x39};

// The left rotation of step i: four per round, repeated four times.
constexpr int ShiftOfStep(int step) {
  constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
  return kShifts[step / 16][step % 4];
}

// The message word step i adds: in order in round 1, then (1 + 5i), (5 + 3i) and 7i
// modulo 16.
constexpr int WordOfStep(int step) {
  const int i = step % 16;
  switch (step / 16) {
    case 0:
      return i;
    case 1:
      return (1 + 5 * i) % 16;
    case 2:
      return (5 + 3 * i) % 16;
    default:
      return (7 * i) % 16;
  }
}

// Each lane i runs the compression function over blocks[i] consecutive 64-byte blocks
// at data[i] (at most kMaxBlocksPerCall); a lane with 0 blocks keeps its words and its
// pointer is not read. 8 lanes for AVX2 and AVX-512VL, 16 for AVX-512.
void CompressAvx2(LaneWords& words, const std::uint8_t* const* data, const std::uint32_t* blocks);
void CompressAvx512Vl(LaneWords& words, const std::uint8_t* const* data, const std::uint32_t* blocks);
void CompressAvx512(LaneWords& words, const std::uint8_t* const* data, const std::uint32_t* blocks);

// Whether the processor, and the operating system's saving of vector registers, allow
// the kernel.
bool ProcessorHasAvx2();
bool ProcessorHasAvx512Vl();
bool ProcessorHasAvx512();

}  // namespace platform::md5_lanes
