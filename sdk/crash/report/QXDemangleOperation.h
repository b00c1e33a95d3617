#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sdk/crash/report/QXThreadArrayOperation.h"

namespace wv {

// Replaces each frame's symbol with the demangled form of its raw symbol, when it has one;
// the raw symbol keeps the mangled name.
class QXDemangleOperation : public QXThreadArrayOperation {
  public:
    using QXThreadArrayOperation::QXThreadArrayOperation;
    void main() override;

    // "_Z..." through the C++ runtime's demangler; "__Z<mangled>..._block_invoke<tail>" as
    // the demangled "_Z<mangled>" followed by the tail unchanged, when "_block_invoke" last
    // starts at character 5 or later; none for anything else and for a null name.
    static std::optional<std::string> demangleSymbol(const char* name);
    static std::optional<std::string> demangleCppSymbol(const char* name);
    static std::optional<std::string> demangleBlockInvokeCppSymbol(const char* name);
};

}  // namespace wv
