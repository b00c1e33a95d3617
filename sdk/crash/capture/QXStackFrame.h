#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace wv {

// One frame of a stack: an address and, once known, where it lies. A recorded exception
// carries its frames as these, and the next launch's symbolication fills them in. Not for
// crash-time code: the texts are owned copies. Absent texts are none.
struct QXStackFrame {
    uint64_t address = 0;
    std::optional<std::string> symbol;
    uint64_t offset = 0;
    std::optional<std::string> library;
    std::optional<std::string> fileName;
    uint32_t lineNumber = 0;
    // The symbol as the image names it, before demangling.
    std::optional<std::string> rawSymbol;

    static QXStackFrame stackFrame() { return {}; }
    static QXStackFrame stackFrameWithAddress(uint64_t address) {
        QXStackFrame frame;
        frame.address = address;
        return frame;
    }
    static QXStackFrame stackFrameWithSymbol(const std::optional<std::string>& symbol) {
        QXStackFrame frame;
        frame.symbol = symbol;
        frame.rawSymbol = symbol;
        return frame;
    }

    // For diagnostics only: "{[0x<address>] <file> - <symbol>:<line>}" with a file name, else
    // "{[0x<address> + <line>] <symbol>}".
    std::string description() const {
        char head[64];
        const std::string name = symbol.value_or("(null)");
        if (fileName) {
            snprintf(head, sizeof head, "{[0x%llx] ", static_cast<unsigned long long>(address));
            return head + *fileName + " - " + name + ":" + std::to_string(lineNumber) + "}";
        }
        snprintf(head, sizeof head, "{[0x%llx + %u] ", static_cast<unsigned long long>(address),
                 lineNumber);
        return head + name + "}";
    }
};

}  // namespace wv
