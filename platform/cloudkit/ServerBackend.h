#pragma once

#include <memory>
#include <string>

#include "platform/cloudkit/Backend.h"

namespace wv::ck {

// The server backend, from the module that holds it (wovanu-postgres.so, with libpq): only
// installations that use a server load either. Nothing when the module cannot be opened; the
// reason is logged once, the first time.
std::unique_ptr<Backend> makeServerBackend(const std::string& connectionString,
                                           const std::string& containerIdentifier);

}  // namespace wv::ck
