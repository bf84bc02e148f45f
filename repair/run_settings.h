// What a run needs besides its context: where the servers are, how its transfers
// travel, how long the waits of the retry protocol last, and where the trace lines go.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/io/install_root.h"
#include "platform/hash/md5_lanes.h"

namespace krdn {

class RunLog;

// The hosts compiled into the program: scheme, host and optional port, no trailing "/".
std::string CompiledVersionHost();
std::string CompiledRepairHost();
// The publisher's public key compiled in (PEM), empty when the build has none.
std::string CompiledPublisherKey();

struct RunSettings {
  // "http://" or "https://" hosts; an https host's certificate is checked against the
  // system's CA store, or against ca_file alone when it is set (tests, private servers).
  std::string version_host = CompiledVersionHost();
  std::string repair_host = CompiledRepairHost();
  std::string ca_file{};
  // The publisher's Ed25519 public key (PEM). When set, the version file and the
  // manifest are trusted only with their detached signatures; a text that is no such
  // key trusts nothing. Empty: no signature is fetched.
  std::string publisher_key = CompiledPublisherKey();
  // One second of the retry protocol (the waits after a failed open or a body of the
  // wrong length). Tests shorten it; the program keeps the second.
  std::chrono::milliseconds second{1000};
  // Limits of every transfer: a connect that does not complete, nothing arriving at all,
  // or fewer than slow_min_bytes arriving within a slow_window fail it.
  std::chrono::milliseconds connect_timeout{30000};
  std::chrono::milliseconds stall_timeout{30000};
  std::size_t slow_min_bytes = 1024;
  std::chrono::milliseconds slow_window{60000};
  // Piece requests in flight together with the piece being written, over as many
  // connections per host, kept between requests unless fresh_connections is set.
  // connections = 1 with fresh_connections fetches one piece at a time, each on a new
  // connection.
  int connections = 4;
  bool fresh_connections = false;
  // The most bytes a second that all the run's transfers together receive, over every
  // connection and host (repair/limit_rate.h reads the user's spelling); 0: no cap.
  std::uint64_t limit_rate = 0;
  // "scheme://[user:password@]host[:port]" of a proxy for every request; empty: the
  // platform's settings (on Linux the usual variables http_proxy, https_proxy,
  // all_proxy and no_proxy; on Windows the system's).
  std::string proxy{};
  // The run's log (repair/run_log.h), which must outlive the run; none: no log.
  RunLog* log = nullptr;
  // How paths beneath the install directory are resolved; tests force the
  // component-wise way where the system offers both.
  platform::InstallRoot::Resolution path_resolution = platform::InstallRoot::Resolution::kWholePath;
  // Receives the trace line of every verified file; the program writes them to standard output.
  std::function<void(std::string_view)> trace = DefaultTrace;
  // Told of every sleep the worker takes, in units of `second` (diagnostics and tests).
  std::function<void(int seconds)> on_sleep;
  // How verification digests: the MD5 kernel (the widest the processor runs by default)
  // and the number of threads that read and digest (0: one per core).
  platform::Md5Kernel md5_kernel = platform::BestMd5Kernel();
  unsigned verify_threads = 0;
  // The most files whose outcomes verification hands to the pass at once (at most 256):
  // small files cost more in hand-overs than in reads. 1 hands over each file on its
  // own (tests compare the two).
  std::size_t verify_batch = 64;
  // Told before every read of verification, from the thread that reads: the index of
  // the file in the manifest and of the piece in the file (diagnostics and tests).
  std::function<void(std::size_t file, std::size_t piece)> on_verify_read;

  static void DefaultTrace(std::string_view line);
};

}  // namespace krdn
