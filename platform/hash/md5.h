// MD5 digests (RFC 1321) over the system's crypto library (Linux: OpenSSL; Windows:
// cryptdll.dll, bound at run time).
//
// BindMd5 makes the implementation available once per process and reports whether
// it is: a library configured to refuse MD5 (a FIPS-only set-up), or one that lacks
// an entry point, makes it fail, and the caller must not start a run then. Every
// digest needs a successful binding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace platform {

using Md5Digest = std::array<std::uint8_t, 16>;

// 0 when MD5 is available (binding again is free), -1 when the library refuses it.
int BindMd5();

// Digest of a whole buffer. Throws std::logic_error when MD5 has not been bound.
Md5Digest Md5(std::span<const std::uint8_t> data);

// Incremental digest, for data that arrives in blocks.
class Md5Stream {
 public:
  Md5Stream();  // throws std::logic_error when MD5 has not been bound

  void Update(std::span<const std::uint8_t> data);
  Md5Digest Finish();  // the stream starts over afterwards

 private:
  struct Context;  // the crypto library's digest context, the platform's
  struct FreeContext {
    void operator()(Context* ctx) const;
  };
  std::unique_ptr<Context, FreeContext> ctx_;
};

}  // namespace platform
