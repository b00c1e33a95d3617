#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/net/OutputStream.h"
#include "platform/net/URLRequest.h"

namespace wv {

// Writes a multipart/form-data body onto a stream part by part, counting the bytes, so a
// request's Content-Length is known without holding the body twice. Only one part's payload
// is in memory at a time. Use: construct, `encode` with the parts added inside the block,
// then read `length` and the header values. Not safe for concurrent use.
//
// Field and file names go into quoted header parameters, so a quote, CR or LF in them is
// written as %22, %0D or %0A: a name can neither end its quotes nor start a header line.
class TRNMultipartMimeStreamEncoder {
  public:
    using Value = std::variant<std::string, int64_t, uint64_t, double>;
    using Block = std::function<void(TRNMultipartMimeStreamEncoder&)>;

    // Without a boundary, a generated one.
    TRNMultipartMimeStreamEncoder(std::shared_ptr<net::OutputStream> stream,
                                  std::optional<std::string> boundary);
    static std::unique_ptr<TRNMultipartMimeStreamEncoder> encoderWithStream(
        std::shared_ptr<net::OutputStream> stream, std::optional<std::string> boundary);

    // A new random UUID in upper-case hexadecimal groups 8-4-4-4-12.
    static std::string generateBoundary();
    static std::string contentTypeHTTPHeaderValueWithBoundary(const std::string& boundary);

    // False when the stream did not take every byte (a full disk, a closed stream): the body
    // is incomplete and callers must keep what they were going to delete.
    bool encode(const Block& block);
    void beginEncoding();
    void endEncoding();

    // No value (null) or an empty field name: the part is refused and logged.
    void addValue(const std::optional<Value>& value, const std::string& fieldName);
    void addFileData(std::string_view data, const std::string& fileName,
                     const std::optional<std::string>& mimeType, const std::string& fieldName);
    // Reads the whole file; one that cannot be read counts as empty (and is refused).
    void addFile(const std::string& path, const std::string& fileName,
                 const std::optional<std::string>& mimeType, const std::string& fieldName);

    void writeData(std::string_view data);
    bool writeBytes(const uint8_t* bytes, size_t length);

    // Encodes into memory and makes the result the request's body, with its content type and
    // length; false as for `encode`.
    static bool populateRequest(net::URLRequest& request, const Block& block);

    const std::string& boundary() const { return boundary_; }
    uint64_t length() const { return length_; }
    std::string headerData() const;
    std::string footerData() const;
    std::string contentTypeHTTPHeaderValue() const;
    std::string contentLengthHTTPHeaderValue() const;

  private:
    static std::string quotedName(const std::string& name);

    std::shared_ptr<net::OutputStream> stream_;
    std::string boundary_;
    uint64_t length_ = 0;
    bool failed_ = false;
};

}  // namespace wv
