// libFuzzer entry: the call-frame and compact-unwind readers over one input.
#include "sdk/crash/unwind/tests/UnwindFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wv::test::fuzzUnwindTables(data, size);
    return 0;
}
