#pragma once

#include <memory>
#include <utility>

#include "platform/dispatch/Operation.h"

namespace wv {

// An operation whose main() runs a block.
class BlockOperation : public Operation {
public:
    explicit BlockOperation(Block block) : block_(std::move(block)) {}
    static std::shared_ptr<BlockOperation> make(Block block) {
        return std::make_shared<BlockOperation>(std::move(block));
    }
    void main() override {
        if (block_) block_();
    }

private:
    Block block_;
};

}  // namespace wv
