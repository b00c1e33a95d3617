#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/dispatch/Operation.h"
#include "platform/net/URLRequest.h"

namespace wv {

class PLRUploader;

// Hands one packaged body file to the uploader as a POST with the analytics headers; the file
// itself is streamed as the body by the transfer. Does not wait for the transfer. A cancelled
// operation sends nothing and leaves the file for a later start.
class PLRUploadOperation : public Operation {
  public:
    static constexpr const char* kUserAgent = "Plurio Mac SDK/1.3.7";
    static constexpr const char* kDeveloperToken = "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17";
    static constexpr const char* kClientType = "Plurio Mac SDK";
    static constexpr const char* kClientVersion = "30";
    static constexpr const char* kClientDisplayVersion = "1.3.7";

    PLRUploadOperation(std::shared_ptr<PLRUploader> uploader, std::string plurioURL,
                       std::string apiKey, std::filesystem::path multipartURL,
                       std::string multipartMimeBoundary);

    const std::shared_ptr<PLRUploader>& uploader() const { return uploader_; }
    const std::string& plurioURL() const { return plurioURL_; }
    const std::string& apiKey() const { return apiKey_; }
    const std::filesystem::path& multipartURL() const { return multipartURL_; }
    const std::string& multipartMimeBoundary() const { return multipartMimeBoundary_; }

    // Whole seconds since 1970 on the wall clock.
    static std::string currentTimestampString();
    // The request main() sends, built apart so it can be looked at.
    net::URLRequest makeRequest() const;

    void main() override;

  private:
    std::shared_ptr<PLRUploader> uploader_;
    std::string plurioURL_;
    std::string apiKey_;
    std::filesystem::path multipartURL_;
    std::string multipartMimeBoundary_;
};

}  // namespace wv
