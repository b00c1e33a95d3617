#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace wv {

// The program's own exception object: a name, a reason and the return addresses of the place
// that made it (taken when it is made, since by the time it is reported the stack that threw
// it is gone).
class PlatformException : public std::exception {
  public:
    PlatformException(std::string name, std::string reason);

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const std::vector<uintptr_t>& callStackReturnAddresses() const { return addresses_; }
    const char* what() const noexcept override { return reason_.c_str(); }

    // What the application does with one that escaped an event handler. The default logs it
    // and goes on, or aborts when the application asks to crash on exceptions.
    using Reporter = void (*)(const PlatformException&);
    static void reportException(const PlatformException& exception);
    static Reporter setReporter(Reporter reporter);  // returns the previous one
    static Reporter reporter();
    static void defaultReporter(const PlatformException& exception);
    // "NSApplicationCrashOnExceptions", as the application read it from its preferences.
    static void setCrashOnExceptions(bool crash);
    static bool crashOnExceptions();

  private:
    std::string name_;
    std::string reason_;
    std::vector<uintptr_t> addresses_;
};

}  // namespace wv
