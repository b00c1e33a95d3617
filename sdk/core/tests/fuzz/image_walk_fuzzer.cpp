// libFuzzer entry: every reader of untrusted image bytes over one input.
#include <cstddef>
#include <cstdint>

#include "../WalkImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wv::testing::walkImage(data, size);
    return 0;
}
