#include "sdk/crash/report/QXSerializeSymbolicatedFramesOperation.h"

#include "platform/foundation/Log.h"
#include "sdk/crash/context/QXFile.h"

namespace wv {
namespace {

const char* textOrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

}  // namespace

void QXSerializeSymbolicatedFramesOperation::main() {
    QXFile file;
    if (outputPath_.empty() || !QXFileInitWithPathMode(&file, outputPath_.c_str(), false, false)) {
        Log::system("[Quellix:Crash:Symbolication] Failed to create output file");
        return;
    }
    QXFileWriteSectionStart(&file, "threads");
    QXFileWriteArrayStart(&file);
    if (threadArray()) {
        for (const std::vector<QXStackFrame>& thread : *threadArray()) {
            QXFileWriteArrayStart(&file);
            for (const QXStackFrame& frame : thread) {
                QXFileWriteHashStart(&file);
                QXFileWriteHashEntryString(&file, "symbol", textOrNull(frame.symbol));
                // A missing raw symbol differs from every symbol, a missing one included.
                if (!frame.rawSymbol || frame.rawSymbol != frame.symbol)
                    QXFileWriteHashEntryString(&file, "raw_symbol", textOrNull(frame.rawSymbol));
                QXFileWriteHashEntryUint64(&file, "offset", frame.offset);
                QXFileWriteHashEntryString(&file, "library", textOrNull(frame.library));
                QXFileWriteHashEnd(&file);
            }
            QXFileWriteArrayEnd(&file);
        }
    }
    QXFileWriteArrayEnd(&file);
    QXFileWriteSectionEnd(&file);
    QXFileClose(&file);
}

}  // namespace wv
