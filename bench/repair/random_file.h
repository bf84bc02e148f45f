// Client files for the repair benchmarks: incompressible bytes, different for every
// seed, written in 1 MiB blocks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace krdn::bench {

inline void WriteRandomFile(const std::filesystem::path& path, std::uint64_t size, std::uint64_t seed) {
  std::ofstream out(path, std::ios::binary);
  std::vector<std::uint64_t> block(1 << 17);
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  for (std::uint64_t written = 0; written < size;) {
    for (auto& word : block) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      word = state;
    }
    const std::uint64_t n = std::min<std::uint64_t>(size - written, block.size() * sizeof(std::uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    written += n;
  }
}

}  // namespace krdn::bench
