#include "sdk/crash/report/QXProcessReportOperation.h"

#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/report/QXDemangleOperation.h"
#include "sdk/crash/report/QXSerializeSymbolicatedFramesOperation.h"
#include "sdk/crash/report/QXSymbolicationOperation.h"

namespace wv {

std::shared_ptr<QXProcessReportOperation> QXProcessReportOperation::initWithReport(
    std::shared_ptr<QXInternalReport> report, std::shared_ptr<QXSymbolResolver> resolver) {
    return std::make_shared<QXProcessReportOperation>(std::move(report), std::move(resolver));
}

QXProcessReportOperation::QXProcessReportOperation(std::shared_ptr<QXInternalReport> report,
                                                   std::shared_ptr<QXSymbolResolver> resolver)
    : report_(std::move(report)), symbolResolver_(std::move(resolver)) {}

std::filesystem::path QXProcessReportOperation::binaryImagePath() const {
    return report_ ? report_->binaryImagePath() : std::filesystem::path();
}

std::optional<QXThreadArray> QXProcessReportOperation::threadArrayFromFile(
    const std::filesystem::path& path) {
    std::optional<std::vector<nlohmann::json>> sections = QXFileReadSections(
        path, false, [](const nlohmann::json& line) -> std::optional<nlohmann::json> {
            auto threads = line.find("threads");
            if (threads == line.end() || !threads->is_array()) return std::nullopt;
            return *threads;
        });
    if (!sections || sections->empty()) return std::nullopt;
    QXThreadArray threads;
    for (const nlohmann::json& thread : sections->front()) {
        std::vector<QXStackFrame>& frames = threads.emplace_back();
        if (!thread.is_object()) continue;
        auto stacktrace = thread.find("stacktrace");
        if (stacktrace == thread.end() || !stacktrace->is_array()) continue;
        for (const nlohmann::json& address : *stacktrace)
            frames.push_back(QXStackFrame::stackFrameWithAddress(
                address.is_number_unsigned() ? address.get<uint64_t>() : 0));
    }
    return threads;
}

bool QXProcessReportOperation::symbolicateFile(const std::filesystem::path& path,
                                               const std::shared_ptr<QXSymbolResolver>& resolver) {
    std::optional<QXThreadArray> threads = threadArrayFromFile(path);
    if (!threads) return false;
    auto shared = std::make_shared<QXThreadArray>(std::move(*threads));
    auto symbolication = std::make_shared<QXSymbolicationOperation>(shared, resolver);
    auto demangle = std::make_shared<QXDemangleOperation>(shared);
    auto serialize = std::make_shared<QXSerializeSymbolicatedFramesOperation>(shared);
    std::filesystem::path output = path;
    output += ".symbolicated";
    serialize->setOutputPath(output);
    symbolication->start();
    demangle->start();
    serialize->start();
    return true;
}

void QXProcessReportOperation::main() {
    if (!report_ || !symbolResolver_) return;
    if (!symbolResolver_->loadBinaryImagesFromFile(binaryImagePath())) return;
    report_->enumerateSymbolicatableFilesInContent(
        [this](const std::filesystem::path& path) { symbolicateFile(path, symbolResolver_); });
}

}  // namespace wv
