#include "platform/foundation/Log.h"

// Built into every module (see wovanu_module). A module links its own copy of the log, whose
// sink would not be the program's: Module::open hands the program's writer over at once, so
// that every line either of them says reaches the one sink the program set (or a test's
// capture).
extern "C" void wovanu_module_attach(void (*write)(wv::LogChannel, std::string_view)) {
    // The module opening itself again hands over its own writer, which must not feed itself.
    if (write == &wv::Log::write) return;
    wv::Log::setSink(
        [write](wv::LogChannel channel, std::string_view line) { write(channel, line); });
}
