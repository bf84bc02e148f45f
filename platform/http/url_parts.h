// What the session reads from an absolute URL: its scheme and the host it names.
#pragma once

#include <string>
#include <string_view>

namespace platform {

bool IsHttpsUrl(std::string_view url);
// http or https, whatever the case of the scheme.
bool IsHttpUrl(std::string_view url);
// "scheme://authority" of a URL, lower case: the key of its host's connections.
std::string HostKey(std::string_view url);

}  // namespace platform
