#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/foundation/Log.h"
#include "platform/net/MemoryOutputStream.h"
#include "sdk/core/TRNHashing.h"

namespace wv {

namespace {

std::string describe(const TRNMultipartMimeStreamEncoder::Value& value) {
    if (auto* s = std::get_if<std::string>(&value)) return *s;
    if (auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
    if (auto* u = std::get_if<uint64_t>(&value)) return std::to_string(*u);
    std::ostringstream out;
    out.precision(17);
    out << std::get<double>(value);
    return out.str();
}

}  // namespace

TRNMultipartMimeStreamEncoder::TRNMultipartMimeStreamEncoder(
    std::shared_ptr<net::OutputStream> stream, std::optional<std::string> boundary)
    : stream_(std::move(stream)), boundary_(boundary ? *boundary : generateBoundary()) {}

std::unique_ptr<TRNMultipartMimeStreamEncoder> TRNMultipartMimeStreamEncoder::encoderWithStream(
    std::shared_ptr<net::OutputStream> stream, std::optional<std::string> boundary) {
    return std::make_unique<TRNMultipartMimeStreamEncoder>(std::move(stream), std::move(boundary));
}

std::string TRNMultipartMimeStreamEncoder::generateBoundary() { return TRNGenerateUUIDString(); }

std::string TRNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(
    const std::string& boundary) {
    return "multipart/form-data; boundary=" + boundary;
}

std::string TRNMultipartMimeStreamEncoder::headerData() const { return "MIME-Version: 1.0\r\n"; }
std::string TRNMultipartMimeStreamEncoder::footerData() const {
    return "--" + boundary_ + "--\r\n";
}
std::string TRNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValue() const {
    return contentTypeHTTPHeaderValueWithBoundary(boundary_);
}
std::string TRNMultipartMimeStreamEncoder::contentLengthHTTPHeaderValue() const {
    return std::to_string(length_);
}

std::string TRNMultipartMimeStreamEncoder::quotedName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

bool TRNMultipartMimeStreamEncoder::encode(const Block& block) {
    failed_ = false;
    beginEncoding();
    if (block) block(*this);
    endEncoding();
    return !failed_ && !(stream_ && stream_->hadError());
}

void TRNMultipartMimeStreamEncoder::beginEncoding() {
    length_ = 0;
    if (!stream_ || !stream_->open()) failed_ = true;
    writeData(headerData());
}

void TRNMultipartMimeStreamEncoder::endEncoding() {
    writeData(footerData());
    if (stream_) stream_->close();
}

void TRNMultipartMimeStreamEncoder::addValue(const std::optional<Value>& value,
                                             const std::string& fieldName) {
    if (!value || fieldName.empty()) {
        Log::system("[Tarnel] name (" + fieldName + ") or value (" +
                    (value ? describe(*value) : std::string("(null)")) + ") is invalid");
        return;
    }
    writeData("--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" +
              quotedName(fieldName) + "\"\r\n");
    writeData("Content-Type: text/plain\r\n\r\n");
    writeData(describe(*value) + "\r\n");
}

void TRNMultipartMimeStreamEncoder::addFileData(std::string_view data, const std::string& fileName,
                                                const std::optional<std::string>& mimeType,
                                                const std::string& fieldName) {
    if (data.empty()) {
        Log::system("[Tarnel] Unable to MIME encode data with zero length (" + fieldName + ")");
        return;
    }
    if (fieldName.empty() || fileName.empty()) {
        Log::system("[Tarnel] name (" + fieldName + ") or fieldname (" + fileName + ") is invalid");
        return;
    }
    writeData("--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" +
              quotedName(fieldName) + "\"; filename=\"" + quotedName(fileName) + "\"\r\n");
    if (mimeType) {
        writeData("Content-Type: " + *mimeType + "\r\n");
        writeData("Content-Transfer-Encoding: binary\r\n\r\n");
    } else {
        writeData("Content-Type: application/octet-stream\r\n\r\n");
    }
    writeData(data);
    writeData("\r\n");
}

void TRNMultipartMimeStreamEncoder::addFile(const std::string& path, const std::string& fileName,
                                            const std::optional<std::string>& mimeType,
                                            const std::string& fieldName) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string data;
    if (in) {
        const std::streamoff size = in.tellg();
        if (size > 0) {
            data.resize(static_cast<size_t>(size));
            in.seekg(0);
            if (!in.read(data.data(), size)) data.clear();
        }
    }
    addFileData(data, fileName, mimeType, fieldName);
}

void TRNMultipartMimeStreamEncoder::writeData(std::string_view data) {
    if (data.empty()) return;
    const long n =
        stream_ ? stream_->write(reinterpret_cast<const uint8_t*>(data.data()), data.size()) : -1;
    if (n < 0 || static_cast<size_t>(n) != data.size()) {
        failed_ = true;
        Log::system("[Tarnel] Failed to write data to stream");
        return;
    }
    length_ += data.size();
}

bool TRNMultipartMimeStreamEncoder::writeBytes(const uint8_t* bytes, size_t length) {
    const long n = stream_ ? stream_->write(bytes, length) : -1;
    if (n < 0 || static_cast<size_t>(n) != length) {
        failed_ = true;
        Log::system("[Tarnel] Failed to write bytes to stream");
        return false;
    }
    length_ += length;
    return true;
}

bool TRNMultipartMimeStreamEncoder::populateRequest(net::URLRequest& request, const Block& block) {
    auto stream = std::make_shared<net::MemoryOutputStream>();
    TRNMultipartMimeStreamEncoder encoder(stream, std::nullopt);
    const bool ok = encoder.encode([&](TRNMultipartMimeStreamEncoder& e) {
        if (block) block(e);
    });
    request.headers.set("Content-Type", encoder.contentTypeHTTPHeaderValue());
    request.headers.set("Content-Length", encoder.contentLengthHTTPHeaderValue());
    request.body = stream->takeData();
    return ok;
}

}  // namespace wv
