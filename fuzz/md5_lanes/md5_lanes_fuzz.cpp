// The MD5 lanes on arbitrary update patterns, every kernel the processor runs, against
// one library stream per lane fed the same bytes. The input is a script: per step, one
// byte per lane says how much of the input that lane gets next (the low 7 bits, times
// 64 with the top bit) or, as 0xFF, that the lane finishes its message now. Every
// digest must equal the library's.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/hash/md5_lanes.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void RunScript(platform::Md5Kernel kernel, std::span<const std::uint8_t> input) {
  platform::Md5Lanes lanes(kernel);
  std::vector<platform::Md5Stream> library(lanes.size());
  std::vector<std::span<const std::uint8_t>> feed(lanes.size());
  std::vector<std::size_t> finishing;
  std::size_t at = 0;
  const auto take = [&](std::size_t want) {
    const std::span<const std::uint8_t> out = input.subspan(at, std::min(want, input.size() - at));
    at += out.size();
    return out;
  };
  while (at < input.size()) {
    finishing.clear();
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
      feed[lane] = {};
      if (at >= input.size()) continue;
      const std::uint8_t command = input[at++];
      if (command == 0xFF) {
        finishing.push_back(lane);
        continue;
      }
      feed[lane] = take((command & 0x7F) * ((command & 0x80) ? 64u : 1u));
      library[lane].Update(feed[lane]);
    }
    lanes.Update(feed);
    std::vector<platform::Md5Digest> digests(finishing.size());
    lanes.Finish(finishing, digests);
    for (std::size_t i = 0; i < finishing.size(); ++i) Check(digests[i] == library[finishing[i]].Finish());
  }
  for (std::size_t lane = 0; lane < lanes.size(); ++lane) Check(lanes.Finish(lane) == library[lane].Finish());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool bound = platform::BindMd5() == 0;
  Check(bound);
  for (const platform::Md5Kernel kernel : platform::kMd5Kernels) {
    if (platform::Md5KernelSupported(kernel)) RunScript(kernel, std::span(data, size));
  }
  return 0;
}
