// Inputs that once broke a table reader, and hand-made ones for the lies the readers check,
// replayed on every run: each must be read to its end without a fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "sdk/crash/images/testing/QXTestImageTable.h"
#include "sdk/crash/unwind/tests/UnwindFuzzInput.h"

namespace wv {
namespace {

TEST(UnwindRegressions, keptInputsAreReadWithoutAFault) {
    test::QXTestImageTable table;  // the SDK log stays closed
    const std::filesystem::path dir = WV_UNWIND_REGRESSIONS;
    size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".bin") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        test::fuzzUnwindTables(bytes.data(), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 0u) << "no kept inputs in " << dir;
}

}  // namespace
}  // namespace wv
