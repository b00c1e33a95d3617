#pragma once

#include <string>
#include <system_error>

namespace wv::net {

// Moves a file to `to`, replacing what is there. A rename where it can; across file systems
// (a download in /tmp moved into the caches folder) a copy to a temporary file beside the
// target, renamed over it, then the source removed: the target is never half-written.
bool moveFile(const std::string& from, const std::string& to, std::error_code& error);

}  // namespace wv::net
