#include "platform/http/redirects.h"

#include "platform/http/url_parts.h"

namespace platform {

bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsFollowedRedirect(const WireAnswer& answer) { return IsRedirectStatus(answer.status) && answer.has_location; }

std::optional<std::string> RedirectRefusal(std::string_view from, const WireAnswer& answer, int followed,
                                           int max_redirects) {
  if (followed >= max_redirects) return "too many redirects";
  if (answer.location.empty()) return "a redirect to an unusable location";
  if (!IsHttpUrl(answer.location)) return "a redirect to another scheme";
  if (IsHttpsUrl(from) && !IsHttpsUrl(answer.location)) return "a redirect from https down to http";
  return std::nullopt;
}

}  // namespace platform
