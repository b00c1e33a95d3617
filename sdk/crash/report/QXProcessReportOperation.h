#pragma once

// Symbolicates one report from an earlier run before it is packaged: for each crash file of
// the folder, the `threads` line written at crash time is resolved, demangled and written
// beside it as "<crash file>.symbolicated". The crash files themselves stay as they are.
// Run synchronously with start() on the reports controller's thread.

#include <filesystem>
#include <memory>

#include "platform/dispatch/Operation.h"
#include "sdk/crash/report/QXInternalReport.h"
#include "sdk/crash/report/QXSymbolResolver.h"
#include "sdk/crash/report/QXThreadArrayOperation.h"

namespace wv {

class QXProcessReportOperation : public Operation {
  public:
    static std::shared_ptr<QXProcessReportOperation> initWithReport(
        std::shared_ptr<QXInternalReport> report, std::shared_ptr<QXSymbolResolver> resolver);
    QXProcessReportOperation(std::shared_ptr<QXInternalReport> report,
                             std::shared_ptr<QXSymbolResolver> resolver);

    const std::shared_ptr<QXInternalReport>& report() const { return report_; }
    const std::shared_ptr<QXSymbolResolver>& symbolResolver() const { return symbolResolver_; }
    std::filesystem::path binaryImagePath() const;

    // The first `threads` line of the file, one array per thread in order, one frame per
    // `stacktrace` value. None when no line of the file has a `threads` array. A thread entry
    // without a `stacktrace` array gets an empty array and an address that is no unsigned
    // number a frame of address 0, so every later thread and frame keeps its place.
    static std::optional<QXThreadArray> threadArrayFromFile(const std::filesystem::path& path);
    // Resolves, demangles and writes one crash file's frames; false when it has none.
    bool symbolicateFile(const std::filesystem::path& path,
                         const std::shared_ptr<QXSymbolResolver>& resolver);

    // Stops, leaving the report unsymbolicated, when the images record cannot be read.
    void main() override;

  private:
    std::shared_ptr<QXInternalReport> report_;
    std::shared_ptr<QXSymbolResolver> symbolResolver_;
};

}  // namespace wv
