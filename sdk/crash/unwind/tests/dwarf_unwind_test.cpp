#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <string>
#include <vector>

#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/unwind/QXDwarfUnwind.h"
#include "sdk/crash/unwind/QXEhFrameHeader.h"
#include "sdk/crash/unwind/tests/FakeElfImage.h"

namespace wv {
namespace {

using test::FakeElfImage;
using test::FakeFunction;

QXDwarfCIERecord x86CIE() {
    QXDwarfCIERecord cie{};
    cie.length = 20;
    cie.version = 1;
    cie.augmentation = "zR";
    cie.fdePointerEncoding = 0x1b;
    cie.codeAlignmentFactor = 1;
    cie.dataAlignmentFactor = -8;
    cie.returnAddressRegister = 16;
    return cie;
}

bool runInstructions(const std::vector<uint8_t>& bytes, int64_t target, QXDwarfState* state,
                     QXDwarfDialect dialect, const QXDwarfState* initial = nullptr) {
    QXDwarfCIERecord cie = x86CIE();
    return QXDwarfInstructionsEnumerate(reinterpret_cast<uint64_t>(bytes.data()), bytes.size(),
                                        &cie, state, target, {dialect, 0, initial});
}

// advance_loc 1, def_cfa_offset 16, offset rbp (factored 2), advance_loc 3,
// def_cfa_register rbp: the prologue of a function that sets up rbp.
const std::vector<uint8_t> kPrologue = {0x41, 0x0e, 0x10, 0x86, 0x02, 0x43, 0x0d, 0x06};

struct RowCase {
    int64_t target;
    uint64_t cfaRegister;
    uint64_t cfaOffset;
    bool rbpSaved;
};

class DwarfPrologueRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(DwarfPrologueRows, rowsRunWhileTheLocationIsAtMostTheTarget) {
    const RowCase& c = GetParam();
    for (QXDwarfDialect dialect : {kQXDwarfDialectMachO, kQXDwarfDialectElf}) {
        QXDwarfState state{};
        state.cfaRegister = 7;
        state.cfaOffset = 8;
        ASSERT_TRUE(runInstructions(kPrologue, c.target, &state, dialect));
        EXPECT_EQ(state.cfaRegister, c.cfaRegister) << c.target;
        EXPECT_EQ(state.cfaOffset, c.cfaOffset) << c.target;
        EXPECT_EQ(state.registers[6].kind, c.rbpSaved ? QXDwarfRuleOffset : QXDwarfRuleSame);
        if (c.rbpSaved) {
            EXPECT_EQ(int64_t(state.registers[6].value), -16);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, DwarfPrologueRows,
                         ::testing::Values(RowCase{0, 7, 8, false}, RowCase{1, 7, 16, true},
                                           RowCase{3, 7, 16, true},
                                           // The advance lands on the target: its row counts.
                                           RowCase{4, 6, 16, true}, RowCase{10, 6, 16, true}));

struct InstructionCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool elf;  // ELF's set, else Mach-O's
    bool succeeds;
    int reg;  // the register whose rule is checked, -1 for none
    uint32_t kind;
    int64_t value;
};

class DwarfInstructions : public ::testing::TestWithParam<InstructionCase> {};

TEST_P(DwarfInstructions, buildTheRule) {
    const InstructionCase& c = GetParam();
    // What the CIE set up: CFA = rsp + 8, rbx saved at CFA - 24.
    QXDwarfState initial{};
    initial.cfaRegister = 7;
    initial.cfaOffset = 8;
    initial.registers[3] = {QXDwarfRuleOffset, uint64_t(-24)};
    QXDwarfState state = initial;
    bool ok = runInstructions(c.bytes, 100, &state,
                              c.elf ? kQXDwarfDialectElf : kQXDwarfDialectMachO, &initial);
    ASSERT_EQ(ok, c.succeeds);
    if (ok && c.reg >= 0) {
        EXPECT_EQ(state.registers[c.reg].kind, c.kind);
        int64_t value = int64_t(state.registers[c.reg].value);
        // An expression rule holds the block's address: compared as its offset.
        if (c.kind == QXDwarfRuleExpression) value -= reinterpret_cast<int64_t>(c.bytes.data());
        EXPECT_EQ(value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DwarfInstructions,
    ::testing::Values(
        InstructionCase{"offset", {0x86, 0x03}, false, true, 6, QXDwarfRuleOffset, -24},
        InstructionCase{"offset_register_17_refused", {0x91, 0x01}, false, false, -1, 0, 0},
        InstructionCase{
            "offset_vector_register_left_out_on_elf", {0x91, 0x01}, true, true, -1, 0, 0},
        InstructionCase{"same_value", {0x08, 0x03}, false, true, 3, QXDwarfRuleSame, 0},
        InstructionCase{"register", {0x09, 0x03, 0x00}, false, true, 3, QXDwarfRuleRegister, 0},
        InstructionCase{"register_value_17_refused", {0x09, 0x03, 0x11}, false, false, -1, 0, 0},
        InstructionCase{
            "expression", {0x10, 0x03, 0x02, 0x77, 0x08}, false, true, 3, QXDwarfRuleExpression, 2},
        InstructionCase{
            "expression_past_the_end", {0x10, 0x03, 0x05, 0x77}, false, false, -1, 0, 0},
        InstructionCase{"def_cfa_register_17_refused", {0x0d, 0x11}, false, false, -1, 0, 0},
        InstructionCase{"remember_state_refused_on_mach_o", {0x0a}, false, false, -1, 0, 0},
        InstructionCase{"restore_refused_on_mach_o", {0xc3}, false, false, -1, 0, 0},
        InstructionCase{"undefined_opcode", {0x20}, true, false, -1, 0, 0},
        InstructionCase{"window_save_refused", {0x2d}, true, false, -1, 0, 0},
        InstructionCase{"operand_cut_off", {0x0c, 0x07}, true, false, -1, 0, 0},
        // ELF's additions.
        InstructionCase{
            "offset_extended", {0x05, 0x03, 0x04}, true, true, 3, QXDwarfRuleOffset, -32},
        InstructionCase{
            "offset_extended_sf", {0x11, 0x03, 0x7e}, true, true, 3, QXDwarfRuleOffset, 16},
        InstructionCase{
            "negative_offset_extended", {0x2f, 0x03, 0x02}, true, true, 3, QXDwarfRuleOffset, 16},
        InstructionCase{
            "restore_to_the_cie_rule", {0x83, 0x05, 0xc3}, true, true, 3, QXDwarfRuleOffset, -24},
        InstructionCase{
            "restore_extended", {0x83, 0x05, 0x06, 0x03}, true, true, 3, QXDwarfRuleOffset, -24},
        InstructionCase{
            "restore_without_a_cie_rule", {0x86, 0x02, 0xc6}, true, true, 6, QXDwarfRuleSame, 0},
        InstructionCase{"undefined", {0x07, 0x10}, true, true, 16, QXDwarfRuleUndefined, 0},
        InstructionCase{
            "val_offset", {0x14, 0x03, 0x02}, true, true, 3, QXDwarfRuleOffsetFromCFA, -16},
        InstructionCase{
            "val_offset_sf", {0x15, 0x03, 0x7f}, true, true, 3, QXDwarfRuleOffsetFromCFA, 8},
        InstructionCase{"remember_then_restore_state",
                        {0x0a, 0x86, 0x02, 0x0b},
                        true,
                        true,
                        6,
                        QXDwarfRuleSame,
                        0},
        InstructionCase{"restore_state_without_remember", {0x0b}, true, false, -1, 0, 0},
        InstructionCase{"args_size", {0x2e, 0x10}, true, true, 3, QXDwarfRuleOffset, -24},
        InstructionCase{"nine_remembered_states_overflow",
                        {0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a},
                        true,
                        false,
                        -1,
                        0,
                        0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DwarfInstructions, theSignedFactoredCFAFormsAndRestoreStateBringTheCFABack) {
    QXDwarfState state{};
    // def_cfa_sf rbp, -2 (x -8 = 16); remember; def_cfa_offset_sf 3 (-24); restore.
    ASSERT_TRUE(
        runInstructions({0x12, 0x06, 0x7e, 0x0a, 0x13, 0x03}, 100, &state, kQXDwarfDialectElf));
    EXPECT_EQ(state.cfaRegister, 6u);
    EXPECT_EQ(int64_t(state.cfaOffset), -24);
    ASSERT_TRUE(runInstructions({0x12, 0x06, 0x7e, 0x0a, 0x13, 0x03, 0x0b}, 100, &state,
                                kQXDwarfDialectElf));
    EXPECT_EQ(int64_t(state.cfaOffset), 16);
}

TEST(DwarfInstructions, aRegisterCFAReplacesAnEarlierExpression) {
    QXDwarfState state{};
    ASSERT_TRUE(runInstructions({0x0f, 0x02, 0x77, 0x08, 0x0c, 0x07, 0x10}, 100, &state,
                                kQXDwarfDialectMachO));
    EXPECT_EQ(state.cfaExpression, 0u);
    EXPECT_EQ(state.cfaRegister, 7u);
    EXPECT_EQ(state.cfaOffset, 16u);
}

// Records laid out by hand in a buffer whose end is the section's end.
struct Records {
    std::vector<uint8_t> bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    }
    void str(const char* s) { bytes.insert(bytes.end(), s, s + strlen(s) + 1); }
    uint64_t address(size_t offset) const {
        return reinterpret_cast<uint64_t>(bytes.data()) + offset;
    }
    uint64_t end() const { return address(bytes.size()); }
};

// A CIE with the given version and augmentation, and what follows it.
Records cieWith(uint8_t version, const char* augmentation, const std::vector<uint8_t>& tail) {
    Records r;
    std::vector<uint8_t> body = {0, 0, 0, 0, version};
    body.insert(body.end(), augmentation, augmentation + strlen(augmentation) + 1);
    body.insert(body.end(), {1, 0x78});      // code 1, data -8
    body.push_back(version == 1 ? 16 : 16);  // return column, u8 or uleb alike
    body.insert(body.end(), tail.begin(), tail.end());
    r.u32(uint32_t(body.size()));
    r.bytes.insert(r.bytes.end(), body.begin(), body.end());
    return r;
}

TEST(DwarfCIE, parsesThePersonalityLsdaAndPointerEncodings) {
    static uint64_t personality = 0x5555'1234'5678;
    Records r = cieWith(1, "zPLR", {});
    // Augmentation data: length, then P (0x9b: indirect, pc-relative, signed 32-bit), L, R.
    r.u8(7);
    r.u8(0x9b);
    size_t field = r.bytes.size();
    r.u32(0);
    r.u8(0x1b);
    r.u8(0x1b);
    r.u8(0x0c);  // an instruction: def_cfa rsp, 8
    r.u8(0x07);
    r.u8(0x08);
    uint32_t length = uint32_t(r.bytes.size() - 4);
    memcpy(r.bytes.data(), &length, 4);
    int32_t relative = int32_t(reinterpret_cast<int64_t>(&personality) - int64_t(r.address(field)));
    memcpy(r.bytes.data() + field, &relative, 4);
    QXDwarfCIERecord cie;
    ASSERT_TRUE(QXDwarfParseCIERecord(&cie, r.address(0), r.end()));
    EXPECT_EQ(cie.personalityEncoding, 0x9b);
    EXPECT_EQ(cie.personality, personality);
    EXPECT_EQ(cie.lsdaEncoding, 0x1b);
    EXPECT_EQ(cie.fdePointerEncoding, 0x1b);
    EXPECT_EQ(cie.dataAlignmentFactor, -8);
    EXPECT_EQ(cie.instructionsLength, 3u);
    EXPECT_EQ(cie.instructions, r.address(r.bytes.size() - 3));
}

struct CIECase {
    const char* name;
    uint8_t version;
    const char* augmentation;
    std::vector<uint8_t> tail;
    bool succeeds;
};

class DwarfCIEParse : public ::testing::TestWithParam<CIECase> {};

TEST_P(DwarfCIEParse, acceptsOrRefuses) {
    const CIECase& c = GetParam();
    Records r = cieWith(c.version, c.augmentation, c.tail);
    QXDwarfCIERecord cie;
    EXPECT_EQ(QXDwarfParseCIERecord(&cie, r.address(0), r.end()), c.succeeds);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DwarfCIEParse,
    ::testing::Values(CIECase{"no_augmentation", 1, "", {0x0c, 0x07, 0x08}, true},
                      CIECase{"version_3", 3, "zR", {1, 0x1b}, true},
                      CIECase{"signal_frame", 1, "zRS", {1, 0x1b}, true},
                      CIECase{"version_4_refused", 4, "zR", {1, 0x1b}, false},
                      CIECase{"augmentation_without_z_refused", 1, "eh", {}, false},
                      CIECase{"unknown_letter_refused", 1, "zX", {1, 0}, false},
                      CIECase{"augmentation_data_past_the_record", 1, "zR", {9, 0x1b}, false},
                      CIECase{"personality_encoding_unknown", 1, "zP", {2, 0x05, 0}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DwarfCIE, aCIELongerThanItsSectionIsRefused) {
    test::ScopedLogContext log;
    Records r = cieWith(1, "zR", {1, 0x1b});
    EXPECT_FALSE(QXDwarfParseCIERecord(nullptr, r.address(0), r.end()));
    QXDwarfCIERecord cie;
    EXPECT_FALSE(QXDwarfParseCIERecord(&cie, r.address(0), r.end() - 1));
    EXPECT_NE(log.log().find("runs past its section"), std::string::npos) << log.log();
    uint32_t zero = 0;
    memcpy(r.bytes.data(), &zero, 4);
    EXPECT_FALSE(QXDwarfParseCIERecord(&cie, r.address(0), r.end()));
    EXPECT_NE(log.log().find("Error: CIE length invalid"), std::string::npos) << log.log();
}

// One CIE with the given FDE pointer encoding, then one FDE whose start field is `start`.
Records cieAndFde(uint8_t encoding, uint32_t start, uint32_t ciePointerAdjust = 0) {
    Records r = cieWith(1, "zR", {1, encoding});
    size_t fde = r.bytes.size();
    r.u32(4 + 4 + 4 + 1);
    r.u32(uint32_t(fde + 4 + ciePointerAdjust));
    r.u32(start);
    r.u32(0x40);
    r.u8(0);
    return r;
}

TEST(DwarfFDE, decodesItsStartInTheCIEsEncoding) {
    static uint64_t target = 0x7777'0000'1000;
    Records pcRelative = cieAndFde(0x1b, 0x100);
    size_t fde = pcRelative.bytes.size() - 17;
    QXDwarfFDERecord record;
    QXDwarfCIERecord cie;
    ASSERT_TRUE(QXDwarfParseFDERecord(&record, true, &cie, pcRelative.address(fde),
                                      pcRelative.address(0), pcRelative.end()));
    EXPECT_EQ(record.initialLocation, pcRelative.address(fde + 8) + 0x100);
    EXPECT_EQ(record.addressRange, 0x40u);

    Records indirect = cieAndFde(0x9b, 0);
    int32_t relative =
        int32_t(reinterpret_cast<int64_t>(&target) - int64_t(indirect.address(fde + 8)));
    memcpy(indirect.bytes.data() + fde + 8, &relative, 4);
    ASSERT_TRUE(QXDwarfParseFDERecord(&record, true, &cie, indirect.address(fde),
                                      indirect.address(0), indirect.end()));
    EXPECT_EQ(record.initialLocation, target);

    Records dataRelative = cieAndFde(0x3b, 0x100);
    EXPECT_FALSE(QXDwarfParseFDERecord(&record, true, &cie, dataRelative.address(fde),
                                       dataRelative.address(0), dataRelative.end()));
}

TEST(DwarfFDE, aCIEPointerLeadingOutsideTheSectionIsRefused) {
    QXDwarfFDERecord record;
    QXDwarfCIERecord cie;
    for (uint32_t adjust : {4u, 0x10000u, uint32_t(-8)}) {
        Records r = cieAndFde(0x1b, 0, adjust);
        size_t fde = r.bytes.size() - 17;
        EXPECT_FALSE(
            QXDwarfParseFDERecord(&record, true, &cie, r.address(fde), r.address(0), r.end()))
            << adjust;
    }
}

TEST(DwarfFDE, offsetsPastTheSectionAreRefused) {
    Records r = cieAndFde(0x1b, 0);
    QXDwarfCIEFDEPair pair;
    EXPECT_TRUE(QXDwarfInitFDEAtOffset(&pair, r.address(0), r.bytes.size() - 17, r.end()));
    EXPECT_FALSE(QXDwarfInitFDEAtOffset(&pair, r.address(0), r.bytes.size(), r.end()));
    EXPECT_FALSE(QXDwarfInitFDEAtOffset(&pair, r.address(0), r.bytes.size() - 4, r.end()));
    EXPECT_FALSE(QXDwarfInitFDEAtOffset(&pair, 0, 8, r.end()));
    EXPECT_FALSE(QXDwarfInitFDEAtOffset(&pair, r.address(0), 0, r.end()));
}

// A record whose length runs into the unmapped page after the image: refused, no fault.
TEST(DwarfFDE, aRecordRunningIntoUnmappedMemoryIsRefused) {
    FakeElfImage image({FakeFunction{0x100, 0x10, {}}});
    uint64_t fde = image.fde(0);
    uint32_t huge = uint32_t(FakeElfImage::kSize);
    memcpy(reinterpret_cast<void*>(fde), &huge, 4);
    QXDwarfFDERecord record;
    QXDwarfCIERecord cie;
    EXPECT_FALSE(QXDwarfParseFDERecord(&record, true, &cie, fde, image.at(FakeElfImage::kEhFrame)));
}

class EhFrameHeader : public ::testing::Test {
  protected:
    EhFrameHeader()
        : image_({FakeFunction{0x100, 0x10, {}}, FakeFunction{0x110, 0x20, {}},
                  FakeFunction{0x200, 0x8, {}}}) {}
    uint8_t* header() { return image_.bytes() + FakeElfImage::kHeader; }
    bool find(uint64_t offset, uint64_t* fde) {
        return QXEhFrameHeaderFindFDE(image_.at(FakeElfImage::kHeader),
                                      image_.at(FakeElfImage::kEhFrame), image_.at(offset), fde);
    }
    FakeElfImage image_;
};

TEST_F(EhFrameHeader, findsTheLastEntryAtOrBelowThePC) {
    uint64_t fde = 0;
    for (auto [offset, index] : {std::pair<uint64_t, size_t>{0x100, 0},
                                 {0x10f, 0},
                                 {0x110, 1},
                                 {0x1ff, 1},
                                 {0x200, 2},
                                 {0x900, 2}}) {
        ASSERT_TRUE(find(offset, &fde)) << offset;
        EXPECT_EQ(fde, image_.fde(index)) << offset;
    }
    EXPECT_FALSE(find(0xff, &fde));
}

TEST_F(EhFrameHeader, refusesCorruptHeaders) {
    uint64_t fde = 0;
    header()[0] = 2;  // version
    EXPECT_FALSE(find(0x100, &fde));
    header()[0] = 1;
    header()[3] = 0x1b;  // a table encoding the linkers do not write
    EXPECT_FALSE(find(0x100, &fde));
    header()[3] = 0x3b;
    uint32_t count = 0x00ffffff;  // a table running far past the mapping
    memcpy(header() + 8, &count, 4);
    EXPECT_FALSE(find(0x100, &fde));
    count = 3;
    memcpy(header() + 8, &count, 4);
    int32_t before = -int32_t(FakeElfImage::kHeader);  // an FDE before .eh_frame
    memcpy(header() + 12 + 4, &before, 4);
    EXPECT_FALSE(find(0x100, &fde));
    EXPECT_TRUE(find(0x110, &fde));
}

}  // namespace
}  // namespace wv
