// URL texts, the same on every platform.
#include "platform/http/http.h"
#include "platform/http/url_parts.h"

#include <algorithm>

namespace platform {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view lower_prefix) {
  if (text.size() < lower_prefix.size()) return false;
  for (std::size_t i = 0; i < lower_prefix.size(); ++i) {
    if (LowerAscii(text[i]) != lower_prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsHttpsUrl(std::string_view url) { return StartsWithNoCase(url, "https://"); }
bool IsHttpUrl(std::string_view url) { return StartsWithNoCase(url, "http://") || IsHttpsUrl(url); }

std::string HostKey(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  std::string key(url.substr(0, url.find_first_of("/?#", start)));
  for (char& c : key) c = LowerAscii(c);
  return key;
}

std::string UrlWithoutCredentials(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
  const std::size_t at = url.substr(start, end - start).rfind('@');
  if (at == std::string_view::npos) return std::string(url);
  return std::string(url.substr(0, start)) + std::string(url.substr(start + at + 1));
}

std::string EscapeUrlPath(std::string_view utf8_path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8_path.size());
  for (const char c : utf8_path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

}  // namespace platform
