#include "platform/hash/md5.h"

#include <openssl/evp.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

namespace platform {
namespace {

// The fetched algorithm lives as long as the process, like a bound library entry point.
std::atomic<EVP_MD*> g_md5{nullptr};
std::mutex g_bind_mutex;

EVP_MD* BoundMd5() {
  EVP_MD* md = g_md5.load(std::memory_order_acquire);
  if (md == nullptr) throw std::logic_error("MD5 used before BindMd5 succeeded");
  return md;
}

}  // namespace

int BindMd5() {
  if (g_md5.load(std::memory_order_acquire) != nullptr) return 0;
  std::lock_guard lock(g_bind_mutex);
  if (g_md5.load(std::memory_order_relaxed) != nullptr) return 0;
  EVP_MD* md = EVP_MD_fetch(nullptr, "MD5", nullptr);
  if (md == nullptr) return -1;
  g_md5.store(md, std::memory_order_release);
  return 0;
}

Md5Digest Md5(std::span<const std::uint8_t> data) {
  Md5Digest digest{};
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), digest.data(), &length, BoundMd5(), nullptr) != 1 ||
      length != digest.size()) {
    throw std::runtime_error("MD5 digest failed");
  }
  return digest;
}

// The stream's context is OpenSSL's own, under the platform-neutral name.
namespace {
EVP_MD_CTX* Evp(void* ctx) { return static_cast<EVP_MD_CTX*>(ctx); }
}  // namespace

void Md5Stream::FreeContext::operator()(Context* ctx) const { EVP_MD_CTX_free(Evp(ctx)); }

Md5Stream::Md5Stream() : ctx_(reinterpret_cast<Context*>(EVP_MD_CTX_new())) {
  if (!ctx_ || EVP_DigestInit_ex(Evp(ctx_.get()), BoundMd5(), nullptr) != 1) {
    throw std::runtime_error("MD5 context cannot be created");
  }
}

void Md5Stream::Update(std::span<const std::uint8_t> data) {
  if (EVP_DigestUpdate(Evp(ctx_.get()), data.data(), data.size()) != 1) throw std::runtime_error("MD5 update failed");
}

Md5Digest Md5Stream::Finish() {
  Md5Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(Evp(ctx_.get()), digest.data(), &length) != 1 ||
      EVP_DigestInit_ex(Evp(ctx_.get()), BoundMd5(), nullptr) != 1) {
    throw std::runtime_error("MD5 final failed");
  }
  return digest;
}

}  // namespace platform
