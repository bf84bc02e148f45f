// Which answers are redirects the session follows, and where it refuses to go.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/http/wire.h"

namespace platform {

// 301, 302, 303, 307 and 308; other 3xx answers are answers like any other.
bool IsRedirectStatus(long status);

// An answer the session follows instead of handing it to the receiver.
bool IsFollowedRedirect(const WireAnswer& answer);

// Why the redirect `answer` to a request for `from` may not be followed after `followed`
// redirects already: the transfer's failure text. Nothing when it may be followed.
std::optional<std::string> RedirectRefusal(std::string_view from, const WireAnswer& answer, int followed,
                                           int max_redirects);

}  // namespace platform
