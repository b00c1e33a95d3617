#pragma once

#include <stdexcept>
#include <string>

namespace wv {

// What the SDK raises for a set-up error of the application (an object that is no kit, a
// missing or malformed Info.plist dictionary); nothing else in the SDK throws. It reaches the
// caller of the entry point uncaught.
class TRNException : public std::runtime_error {
  public:
    explicit TRNException(const std::string& reason) : std::runtime_error(reason) {}
    static constexpr const char* kName = "TRNException";
    const char* name() const { return kName; }
    std::string reason() const { return what(); }
};

}  // namespace wv
