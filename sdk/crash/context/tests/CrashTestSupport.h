#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "sdk/crash/context/QXContext.h"

namespace wv::test {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qxcrash-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Stands in both context records, with the SDK log going to "sdk.log" in a temporary folder,
// and puts the previous ones back.
class ScopedLogContext {
  public:
    ScopedLogContext() : previous_(qxContext), previousWritable_(qxWritableContext) {
        logPath_ = (folder_ / "sdk.log").string();
        context_->logPath = logPath_.c_str();
        writable_->logDescriptor = -1;
        writable_->logMinimumLevel = 1;
        qxContext = context_.get();
        qxWritableContext = writable_.get();
    }
    ~ScopedLogContext() {
        if (writable_->logDescriptor >= 0) close(writable_->logDescriptor);
        qxContext = previous_;
        qxWritableContext = previousWritable_;
    }
    std::string log() const { return readFile(logPath_); }
    const TempFolder& folder() const { return folder_; }
    QXReadOnlyContext& context() { return *context_; }
    QXWritableContext& writable() { return *writable_; }

  private:
    TempFolder folder_;
    std::string logPath_;
    std::unique_ptr<QXReadOnlyContext> context_ = std::make_unique<QXReadOnlyContext>();
    std::unique_ptr<QXWritableContext> writable_ = std::make_unique<QXWritableContext>();
    QXReadOnlyContext* previous_;
    QXWritableContext* previousWritable_;
};

}  // namespace wv::test
