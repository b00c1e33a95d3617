#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <string>
#include <vector>

#include "sdk/crash/unwind/QXDwarfExpression.h"

namespace wv {
namespace {

// Stand-ins a case names instead of a real address, filled in when the case runs.
enum Address : uint64_t {
    kWord = 0x1000'0000'0000'0001,  // a readable word holding 0x1122334455667788
    kUnreadable = 0x1000'0000'0000'0002,
};

struct ExpressionCase {
    const char* name;
    std::vector<uint8_t> program;  // without its length
    uint64_t initial;
    bool succeeds;
    uint64_t result;
};

class DwarfExpression : public ::testing::TestWithParam<ExpressionCase> {
  protected:
    void SetUp() override {
        unreadable_ = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(unreadable_, MAP_FAILED);
        memset(&context_, 0, sizeof(context_));
        context_.rsp = 0x7ff0'0000'1000;
        context_.rip = 0x5555'0000'2000;
        context_.rbx = 0x40;
    }
    void TearDown() override { munmap(unreadable_, 4096); }
    uint64_t resolve(uint64_t value) const {
        if (value == kWord) return reinterpret_cast<uint64_t>(&word_);
        if (value == kUnreadable) return reinterpret_cast<uint64_t>(unreadable_);
        return value;
    }

    uint64_t word_ = 0x1122334455667788;
    void* unreadable_ = nullptr;
    QXMachineContextX86_64 context_;
};

std::vector<uint8_t> withLength(const std::vector<uint8_t>& program) {
    std::vector<uint8_t> bytes;
    uint64_t length = program.size();
    do {
        uint8_t byte = length & 0x7f;
        length >>= 7;
        bytes.push_back(byte | (length != 0 ? 0x80 : 0));
    } while (length != 0);
    bytes.insert(bytes.end(), program.begin(), program.end());
    return bytes;
}

std::vector<uint8_t> literals(int count) { return std::vector<uint8_t>(count, 0x31); }

TEST_P(DwarfExpression, evaluates) {
    const ExpressionCase& c = GetParam();
    std::vector<uint8_t> bytes = withLength(c.program);
    uint64_t result = 0xdead;
    bool ok = QXDwarfEvalulateExpression(reinterpret_cast<uint64_t>(bytes.data()), &context_,
                                         resolve(c.initial), &result);
    ASSERT_EQ(ok, c.succeeds);
    if (ok) {
        EXPECT_EQ(result, c.result);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, DwarfExpression,
    ::testing::Values(
        // breg7 8: rsp + 8 on top of the initial value.
        ExpressionCase{"breg_rsp_plus_8", {0x77, 0x08}, 5, true, 0x7ff0'0000'1008},
        ExpressionCase{"breg_rip_minus_4", {0x80, 0x7c}, 0, true, 0x5555'0000'1ffc},
        ExpressionCase{"breg_rbx_plus_128", {0x73, 0x80, 0x01}, 0, true, 0xc0},
        ExpressionCase{"breg17_refused", {0x81, 0x00}, 0, false, 0},
        ExpressionCase{"lit0", {0x30}, 9, true, 0}, ExpressionCase{"lit31", {0x4f}, 9, true, 31},
        ExpressionCase{"top_wins_over_entries_below", {0x31, 0x32}, 9, true, 2},
        ExpressionCase{"dup_plus", {0x12, 0x22}, 7, true, 14},
        ExpressionCase{"swap", {0x31, 0x16}, 9, true, 9},
        ExpressionCase{"swap_then_plus", {0x31, 0x16, 0x22}, 9, true, 10},
        ExpressionCase{"and", {0x3f, 0x1a}, 0xff, true, 0x0f},
        ExpressionCase{"plus", {0x33, 0x22}, 10, true, 13},
        ExpressionCase{"plus_uconst", {0x23, 0x80, 0x01}, 1, true, 129},
        ExpressionCase{"ne_equal", {0x35, 0x2e}, 5, true, 0},
        ExpressionCase{"ne_different", {0x35, 0x2e}, 4, true, 1},
        ExpressionCase{"deref", {0x06}, kWord, true, 0x1122334455667788},
        ExpressionCase{"deref_size_1", {0x94, 1}, kWord, true, 0x88},
        ExpressionCase{"deref_size_2", {0x94, 2}, kWord, true, 0x7788},
        ExpressionCase{"deref_size_4", {0x94, 4}, kWord, true, 0x55667788},
        ExpressionCase{"deref_size_8", {0x94, 8}, kWord, true, 0x1122334455667788},
        ExpressionCase{"deref_size_3_refused", {0x94, 3}, kWord, false, 0},
        ExpressionCase{"deref_unmapped_page", {0x06}, kUnreadable, false, 0},
        ExpressionCase{"deref_below_4096", {0x06}, 8, false, 0},
        ExpressionCase{"deref_size_unmapped_page", {0x94, 4}, kUnreadable, false, 0},
        ExpressionCase{"plus_underflows", {0x22}, 1, false, 0},
        ExpressionCase{"swap_underflows", {0x16}, 1, false, 0},
        // The initial value is the first of the 100 entries.
        ExpressionCase{"hundred_entries_fit", literals(99), 0, true, 1},
        ExpressionCase{"hundred_and_first_overflows", literals(100), 0, false, 0},
        ExpressionCase{"zero_length", {}, 0, false, 0},
        ExpressionCase{"minus_is_unknown", {0x31, 0x1c}, 0, false, 0},
        ExpressionCase{"operand_cut_off_by_the_end", {0x23, 0x80}, 0, false, 0},
        ExpressionCase{"size_operand_missing", {0x94}, kWord, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DwarfExpressionStack, aMisusedStackStaysInvalid) {
    QXDwarfExpressionMachine machine;
    QXDwarfExpressionStackInit(&machine);
    EXPECT_EQ(QXDwarfExpressionStackPop(&machine), 0u);  // underflow poisons it
    EXPECT_FALSE(QXDwarfExpressionStackIsValid(&machine));
    EXPECT_FALSE(QXDwarfExpressionStackPush(&machine, 1));
    EXPECT_EQ(QXDwarfExpressionStackPeek(&machine), 0u);
}

TEST(DwarfExpressionStack, refusesAbsentInputs) {
    uint64_t result;
    std::vector<uint8_t> bytes = withLength({0x30});
    EXPECT_FALSE(QXDwarfEvalulateExpression(0, nullptr, 0, &result));
    EXPECT_FALSE(
        QXDwarfEvalulateExpression(reinterpret_cast<uint64_t>(bytes.data()), nullptr, 0, nullptr));
    QXDwarfExpressionMachine machine;
    EXPECT_FALSE(QXDwarfExpressionMachineInit(&machine, 100, nullptr, 0));
}

}  // namespace
}  // namespace wv
