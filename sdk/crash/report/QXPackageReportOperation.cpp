#include "sdk/crash/report/QXPackageReportOperation.h"

#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <span>

#include "platform/net/FileOutputStream.h"
#include "sdk/core/TRNHashing.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"

namespace wv {
namespace {

constexpr int kMaximumWritePasses = 50;

// The whole file, or none when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return data;
}

}  // namespace

QXPackageReportOperation::QXPackageReportOperation(std::shared_ptr<QXInternalReport> report,
                                                   std::shared_ptr<QXFileManager> fileManager)
    : report_(std::move(report)), fileManager_(std::move(fileManager)) {}

std::filesystem::path QXPackageReportOperation::reportPath() const { return report_->path(); }

std::filesystem::path QXPackageReportOperation::destinationDirectory() const {
    return fileManager_->preparedPath();
}

std::filesystem::path QXPackageReportOperation::packagedPathWithName(const std::string& name) const {
    return destinationDirectory() / (name + "." + kPackageExtension);
}

void QXPackageReportOperation::main() {
    finalPath_.reset();
    const std::string boundary = TRNMultipartMimeStreamEncoder::generateBoundary();
    const std::filesystem::path packagedPath = packagedPathWithName(boundary);
    // Written under a hidden name and renamed when whole: a launch that dies while packaging
    // leaves no half package for a later one to send, and listings pass hidden names by.
    const std::filesystem::path partialPath =
        packagedPath.parent_path() / ("." + packagedPath.filename().string());
    const std::string identifier = report_->identifier();
    const std::optional<std::string> apiKey = report_->APIKey();

    auto stream = std::make_shared<net::FileOutputStream>(partialPath.string(), false);
    auto encoder = TRNMultipartMimeStreamEncoder::encoderWithStream(stream, boundary);
    if (!encoder) return;

    const bool complete = encoder->encode([&](TRNMultipartMimeStreamEncoder& e) {
        if (apiKey) e.addValue(*apiKey, "api_key");
        if (!identifier.empty()) e.addValue(identifier, "report_id");
        fileManager_->enumerateFilesInDirectory(
            reportPath(), [&](const std::filesystem::path& path, const std::string& extension) {
                if (isCancelled() || extension == "gz") return;
                const auto data = readWholeFile(path);
                if (!data || data->empty()) {
                    QXLogError("Error: unable to read data for compression: %s",
                               path.filename().c_str());
                    return;
                }
                encode(e, *data, path);
            });
    });
    std::error_code ec;
    if (isCancelled() || !complete) {
        std::filesystem::remove(partialPath, ec);
        return;
    }
    std::filesystem::rename(partialPath, packagedPath, ec);
    if (ec) {
        QXLogError("Error: unable to move the package into place: %s", ec.message().c_str());
        std::filesystem::remove(partialPath, ec);
        return;
    }
    finalPath_ = packagedPath;
}

void QXPackageReportOperation::encode(TRNMultipartMimeStreamEncoder& encoder, std::string_view data,
                                      const std::filesystem::path& path) const {
    if (path.empty()) {
        QXLogError("Error: path is invalid");
        return;
    }
    std::filesystem::path compressedPath = path;
    compressedPath += ".gz";
    const std::string fieldName = path.filename().string();
    std::filesystem::path chosen = compressedPath;
    std::string mimeType = kCompressedMimeType;
    if (!compressData(data, compressedPath)) {
        QXLogError("Error: compression failed for %s", compressedPath.filename().c_str());
        // A part that is not gzip must not carry a ".gz" name: the server would try to
        // decompress it.
        chosen = path;
        mimeType = kUncompressedMimeType;
    }
    encoder.addFile(chosen.string(), chosen.filename().string(), mimeType, fieldName);
}

bool QXPackageReportOperation::compressData(std::string_view data,
                                            const std::filesystem::path& path) {
    gzFile file = gzopen(path.c_str(), "w");
    if (!file) {
        QXLogError("Error: unable to open file for compression %s", std::strerror(errno));
        return false;
    }
    bool result = !data.empty();
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    TRNEnumerateDataByteRanges(bytes, [&](const uint8_t* start, TRNByteRange range, bool& stop) {
        if (!writeBytes(start + range.location, range.length, file)) {
            result = false;
            stop = true;
        }
    });
    // The close writes the stream's end: a failure there leaves a file no reader can finish.
    if (gzclose(file) != Z_OK) result = false;
    return result;
}

bool QXPackageReportOperation::writeBytes(const uint8_t* bytes, size_t length, gzFile_s* file) {
    if (length == 0) return false;
    size_t remaining = length;
    for (int pass = 0; pass < kMaximumWritePasses; ++pass) {
        // gzwrite counts in unsigned int: a larger remainder goes in parts.
        const unsigned ask =
            static_cast<unsigned>(std::min<size_t>(remaining, static_cast<size_t>(INT_MAX)));
        errno = 0;
        const int written = gzwrite(file, bytes + (length - remaining), ask);
        if (written <= 0) {
            int code = 0;
            const char* text = gzerror(file, &code);
            QXLogError("Error: failed to write compressed bytes %d, %s, %s", code, text,
                       std::strerror(errno));
            return false;
        }
        if (static_cast<unsigned>(written) > ask) return false;
        remaining -= static_cast<size_t>(written);
        if (remaining == 0) return true;
    }
    return false;
}

}  // namespace wv
