// C++ names and block names demangled; everything else is left as the image named it.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sdk/crash/report/QXDemangleOperation.h"

namespace wv::test {
namespace {

struct DemangleCase {
    const char* name;
    std::optional<std::string> demangled;
};

// Names the case in test output, rather than its bytes.
void PrintTo(const DemangleCase& c, std::ostream* os) { *os << c.name; }

const DemangleCase kDemangleCases[] = {
    {"_Z3foov", "foo()"},
    {"_ZN12_GLOBAL__N_116writeThroughNullEv", "(anonymous namespace)::writeThroughNull()"},
    {"_ZNSt6vectorIiSaIiEE9push_backERKi",
     "std::vector<int, std::allocator<int> >::push_back(int const&)"},
    {"main", std::nullopt},
    {"abort", std::nullopt},
    {"", std::nullopt},
    {"_Z", std::nullopt},
    {"_Zgarbage!", std::nullopt},
    // A block: "__Z" and a mangled name, then the block suffix kept whole.
    {"__Z3foov_block_invoke", "foo()_block_invoke"},
    {"__Z3foov_block_invoke_2", "foo()_block_invoke_2"},
    {"__ZN1a1bEi_block_invoke.17", "a::b(int)_block_invoke.17"},
    // The last "_block_invoke" is the one split at.
    {"__Z3foov_block_invoke_block_invoke_3", std::nullopt},
    // The earliest place the suffix may start is character 5.
    {"__Z1f_block_invoke", "f_block_invoke"},
    {"__Z_block_invoke", std::nullopt},
    {"__Z3foov", std::nullopt},
    {"__Zbad_block_invoke", std::nullopt},
    {"___Z3foov_block_invoke", std::nullopt},
};

class Demangle : public ::testing::TestWithParam<DemangleCase> {};

TEST_P(Demangle, FollowsTheNameRules) {
    EXPECT_EQ(QXDemangleOperation::demangleSymbol(GetParam().name), GetParam().demangled)
        << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, Demangle, ::testing::ValuesIn(kDemangleCases));

TEST(Demangle, ANullNameIsNone) {
    EXPECT_EQ(QXDemangleOperation::demangleSymbol(nullptr), std::nullopt);
    EXPECT_EQ(QXDemangleOperation::demangleCppSymbol(nullptr), std::nullopt);
    EXPECT_EQ(QXDemangleOperation::demangleBlockInvokeCppSymbol(nullptr), std::nullopt);
}

TEST(DemangleOperation, ReplacesTheSymbolAndKeepsTheMangledRawSymbol) {
    QXStackFrame cpp = QXStackFrame::stackFrameWithSymbol("_Z3foov");
    QXStackFrame c = QXStackFrame::stackFrameWithSymbol("memcpy");
    QXStackFrame unresolved = QXStackFrame::stackFrameWithAddress(0x1234);
    QXStackFrame symbolOnly;
    symbolOnly.symbol = "kept";
    auto threads =
        std::make_shared<QXThreadArray>(QXThreadArray{{cpp, c}, {}, {unresolved, symbolOnly}});
    auto operation = std::make_shared<QXDemangleOperation>(threads);
    operation->start();
    const QXThreadArray& out = *threads;
    EXPECT_EQ(out[0][0].symbol, "foo()");
    EXPECT_EQ(out[0][0].rawSymbol, "_Z3foov");
    EXPECT_EQ(out[0][1].symbol, "memcpy");
    EXPECT_EQ(out[0][1].rawSymbol, "memcpy");
    EXPECT_EQ(out[2][0].symbol, std::nullopt);
    EXPECT_EQ(out[2][0].rawSymbol, std::nullopt);
    EXPECT_EQ(out[2][1].symbol, "kept");
}

TEST(ThreadArrayOperation, ACancelledWalkLeavesTheRestOfEachThread) {
    auto threads = std::make_shared<QXThreadArray>(QXThreadArray{
        {QXStackFrame::stackFrameWithAddress(1), QXStackFrame::stackFrameWithAddress(2)},
        {QXStackFrame::stackFrameWithAddress(3), QXStackFrame::stackFrameWithAddress(4)}});
    auto operation = std::make_shared<QXThreadArrayOperation>(threads);
    std::vector<std::pair<uint64_t, size_t>> seen;
    operation->enumerateFramesWithBlock([&](QXStackFrame& frame, size_t index) {
        seen.emplace_back(frame.address, index);
        if (frame.address == 1) operation->cancel();
    });
    EXPECT_EQ(seen, (std::vector<std::pair<uint64_t, size_t>>{{1, 0}, {3, 0}}));

    auto whole = std::make_shared<QXThreadArrayOperation>(threads);
    seen.clear();
    whole->enumerateFramesWithBlock(
        [&](QXStackFrame& frame, size_t index) { seen.emplace_back(frame.address, index); });
    EXPECT_EQ(seen, (std::vector<std::pair<uint64_t, size_t>>{{1, 0}, {2, 1}, {3, 0}, {4, 1}}));
}

TEST(StackFrame, DescribesItselfForDiagnostics) {
    QXStackFrame frame = QXStackFrame::stackFrameWithSymbol("f");
    frame.address = 0x1f;
    frame.lineNumber = 12;
    EXPECT_EQ(frame.description(), "{[0x1f + 12] f}");
    frame.fileName = "a.cpp";
    EXPECT_EQ(frame.description(), "{[0x1f] a.cpp - f:12}");
}

}  // namespace
}  // namespace wv::test
