#include "repair/release_trust.h"

#include <vector>

#include "platform/http/http.h"
#include "platform/io/release_signature.h"
#include "repair/run.h"

namespace krdn {
namespace {

// Keeps a 2xx body of at most one signature's size; anything else ends the transfer.
class SignatureReceiver final : public platform::HttpReceiver {
 public:
  bool OnResponse(long status) override { return status >= 200 && status <= 299; }

  bool OnBody(std::span<const std::uint8_t> block) override {
    if (bytes_.size() + block.size() > platform::ReleaseSignature{}.size()) {
      too_long_ = true;
      return false;
    }
    bytes_.insert(bytes_.end(), block.begin(), block.end());
    return true;
  }

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  bool too_long() const { return too_long_; }

 private:
  std::vector<std::uint8_t> bytes_;
  bool too_long_ = false;
};

}  // namespace

bool ReleasesSigned(const RunSettings& settings) { return !settings.publisher_key.empty(); }

bool SignatureTrusts(Run& run, const std::string& file_url, const std::string& user_agent, std::string_view name,
                     std::span<const std::uint8_t> bytes) {
  const platform::HttpRequest request{
      .url = file_url + ".sig", .user_agent = user_agent, .range = std::nullopt, .limits = run.http_limits()};
  SignatureReceiver receiver;
  const platform::HttpResult result = run.session().Get(request, receiver, [&run] { return run.HoldWithinTransfer(); });
  run.ThrowIfAbandoned();
  if (result.outcome != platform::HttpOutcome::kComplete || receiver.too_long()) return false;
  const std::optional<platform::ReleasePublicKey> key = platform::ReadReleasePublicKey(run.settings().publisher_key);
  return key && platform::VerifyReleaseSignature(*key, name, bytes, receiver.bytes());
}

}  // namespace krdn
