#include "transfer/fetch_url.h"

#include "platform/base/utf.h"
#include "transfer/body_fetch.h"

namespace krdn {
namespace {

constexpr std::uint64_t kAgentPieceSize = 4194304;  // the servers' 4 MiB piece

}  // namespace

std::string RequestUrl(std::u16string_view url) {
  const std::string utf8 = platform::Utf16ToUtf8(url);
  const std::size_t scheme = utf8.find("://");
  const std::size_t path = utf8.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  if (path == std::string::npos) return utf8;
  std::string request_url = utf8.substr(0, path);
  request_url += platform::EscapeUrlPath(utf8.substr(path));
  return request_url;
}

std::string AgentString(std::uint64_t file_size, std::uint64_t first_byte, FetchKind kind, std::u16string_view suffix) {
  std::string agent = "VoRepair";
  agent += platform::Utf16ToUtf8(suffix);
  if (kind == FetchKind::kMissing) agent += "_missing";
  if (kind == FetchKind::kInvalid) agent += "_invalid";
  if (file_size != 0) {
    const std::uint64_t piece = first_byte / kAgentPieceSize + 1;
    const std::uint64_t pieces = file_size / kAgentPieceSize + (file_size % kAgentPieceSize != 0 ? 1 : 0);
    agent += '_';
    agent += std::to_string(piece);
    agent += "in";
    agent += std::to_string(pieces);
  }
  return agent;
}

std::string RangeValue(const ByteRange& range) {
  std::string value = "bytes=";
  value += std::to_string(range.first);
  value += '-';
  if (range.last) value += std::to_string(*range.last);
  return value;
}

int FetchUrl(platform::HttpSession& session, FetchObserver& observer, std::vector<std::uint8_t>& body,
             std::u16string_view url, std::uint64_t file_size, const ByteRange& range, FetchKind kind,
             std::u16string_view suffix, const FetchLimits& limits) {
  BodyFetch fetch(session, url, file_size, range, kind, suffix, limits, false);
  const int result = fetch.Wait(observer);
  if (body.empty()) {
    body.swap(fetch.body());
  } else {
    body.insert(body.end(), fetch.body().begin(), fetch.body().end());
  }
  return result;
}

}  // namespace krdn
