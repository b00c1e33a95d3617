#include "sdk/crash/report/QXDemangleOperation.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace wv {

void QXDemangleOperation::main() {
    enumerateFramesWithBlock([](QXStackFrame& frame, size_t) {
        if (!frame.rawSymbol) return;
        if (std::optional<std::string> demangled = demangleSymbol(frame.rawSymbol->c_str()))
            frame.symbol = std::move(demangled);
    });
}

std::optional<std::string> QXDemangleOperation::demangleSymbol(const char* name) {
    if (name == nullptr) return std::nullopt;
    if (strncmp(name, "_Z", 2) == 0) return demangleCppSymbol(name);
    if (strncmp(name, "__Z", 3) == 0) return demangleBlockInvokeCppSymbol(name);
    return std::nullopt;
}

std::optional<std::string> QXDemangleOperation::demangleCppSymbol(const char* name) {
    if (name == nullptr) return std::nullopt;
    int status = 0;
    char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (demangled == nullptr) return std::nullopt;
    std::string text(demangled);
    free(demangled);
    if (status != 0) return std::nullopt;
    return text;
}

std::optional<std::string> QXDemangleOperation::demangleBlockInvokeCppSymbol(const char* name) {
    if (name == nullptr) return std::nullopt;
    const std::string_view whole(name);
    const size_t marker = whole.rfind("_block_invoke");
    if (marker == std::string_view::npos || marker < 5) return std::nullopt;
    // The block's own name without its extra leading underscore.
    const std::string inner(whole.substr(1, marker - 1));
    std::optional<std::string> demangled = demangleSymbol(inner.c_str());
    if (!demangled) return std::nullopt;
    return *demangled + std::string(whole.substr(marker));
}

}  // namespace wv
