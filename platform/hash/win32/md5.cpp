// MD5 through cryptdll.dll, bound at run time once per process: MD5Init, MD5Update and
// MD5Final over a context the caller owns.
#include "platform/hash/md5.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>

#include "platform/base/win_names.h"

namespace platform {
namespace {

// The library's context record: bits counted, the state, the pending block, the digest.
struct Md5Record {
  ULONG count[2];
  ULONG state[4];
  unsigned char buffer[64];
  unsigned char digest[16];
};

using Md5InitFn = void(WINAPI*)(Md5Record*);
using Md5UpdateFn = void(WINAPI*)(Md5Record*, const unsigned char*, unsigned int);
using Md5FinalFn = void(WINAPI*)(Md5Record*);

struct EntryPoints {
  Md5InitFn init = nullptr;
  Md5UpdateFn update = nullptr;
  Md5FinalFn final = nullptr;
};

// Written once under the mutex, published by the flag; the library is never unloaded.
EntryPoints g_entry_points;
std::atomic<bool> g_bound{false};
std::mutex g_bind_mutex;

template <typename Fn>
Fn Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const EntryPoints& Bound() {
  if (!g_bound.load(std::memory_order_acquire)) throw std::logic_error("MD5 used before BindMd5 succeeded");
  return g_entry_points;
}

// MD5Update counts bytes in 32 bits: a larger buffer goes in slices.
void UpdateAll(const EntryPoints& md5, Md5Record& record, std::span<const std::uint8_t> data) {
  constexpr std::size_t kSlice = std::size_t{1} << 30;
  for (std::size_t done = 0; done < data.size();) {
    const std::size_t slice = std::min(data.size() - done, kSlice);
    md5.update(&record, data.data() + done, static_cast<unsigned int>(slice));
    done += slice;
  }
}

Md5Digest DigestOf(const Md5Record& record) {
  Md5Digest digest{};
  std::copy(std::begin(record.digest), std::end(record.digest), digest.begin());
  return digest;
}

}  // namespace

int BindMd5() {
  if (g_bound.load(std::memory_order_acquire)) return 0;
  std::lock_guard lock(g_bind_mutex);
  if (g_bound.load(std::memory_order_relaxed)) return 0;
  HMODULE library = ::LoadLibraryW(L"cryptdll.dll");
  if (library == nullptr) return -1;
  EntryPoints found{.init = Resolve<Md5InitFn>(library, "MD5Init"),
                    .update = Resolve<Md5UpdateFn>(library, "MD5Update"),
                    .final = Resolve<Md5FinalFn>(library, "MD5Final")};
  // The entry points that were found stay bound, the others null, as the contract says;
  // the library stays loaded, since a later call tries again with it.
  g_entry_points = found;
  if (found.init == nullptr || found.update == nullptr || found.final == nullptr) return -1;
  g_bound.store(true, std::memory_order_release);
  return 0;
}

Md5Digest Md5(std::span<const std::uint8_t> data) {
  const EntryPoints& md5 = Bound();
  Md5Record record{};
  md5.init(&record);
  UpdateAll(md5, record, data);
  md5.final(&record);
  return DigestOf(record);
}

struct Md5Stream::Context {
  Md5Record record;
};

void Md5Stream::FreeContext::operator()(Context* ctx) const { std::default_delete<Context>()(ctx); }

Md5Stream::Md5Stream() : ctx_(new Context{}) { Bound().init(&ctx_->record); }

void Md5Stream::Update(std::span<const std::uint8_t> data) { UpdateAll(Bound(), ctx_->record, data); }

Md5Digest Md5Stream::Finish() {
  const EntryPoints& md5 = Bound();
  md5.final(&ctx_->record);
  const Md5Digest digest = DigestOf(ctx_->record);
  md5.init(&ctx_->record);
  return digest;
}

}  // namespace platform
