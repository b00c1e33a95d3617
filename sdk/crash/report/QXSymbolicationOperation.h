#pragma once

#include <memory>

#include "sdk/crash/report/QXSymbolResolver.h"
#include "sdk/crash/report/QXThreadArrayOperation.h"

namespace wv {

// Resolves every frame with the resolver; a frame it cannot place keeps only its address.
class QXSymbolicationOperation : public QXThreadArrayOperation {
  public:
    QXSymbolicationOperation(std::shared_ptr<QXThreadArray> threadArray,
                             std::shared_ptr<QXSymbolResolver> symbolResolver)
        : QXThreadArrayOperation(std::move(threadArray)),
          symbolResolver_(std::move(symbolResolver)) {}

    const std::shared_ptr<QXSymbolResolver>& symbolResolver() const { return symbolResolver_; }
    void main() override;

  private:
    std::shared_ptr<QXSymbolResolver> symbolResolver_;
};

}  // namespace wv
