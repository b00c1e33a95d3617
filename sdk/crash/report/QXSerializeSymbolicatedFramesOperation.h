#pragma once

#include <filesystem>

#include "sdk/crash/report/QXThreadArrayOperation.h"

namespace wv {

// Writes the frames as one record line: section `threads`, one array per thread, one object
// per frame with `symbol`, `raw_symbol` (only when it differs from `symbol`), `offset` and
// `library`. The n-th object of a thread belongs to the n-th address of that thread in the
// crash file, so the address is not repeated. An existing file is replaced.
class QXSerializeSymbolicatedFramesOperation : public QXThreadArrayOperation {
  public:
    using QXThreadArrayOperation::QXThreadArrayOperation;

    const std::filesystem::path& outputPath() const { return outputPath_; }
    void setOutputPath(std::filesystem::path path) { outputPath_ = std::move(path); }
    void main() override;

  private:
    std::filesystem::path outputPath_;
};

}  // namespace wv
