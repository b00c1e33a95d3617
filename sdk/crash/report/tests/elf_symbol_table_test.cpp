// The symbol table of an image file, which may be anything by the time a report is read:
// truncated, replaced or garbage files give no table rather than wrong names.
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <string>

#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/report/QXElfSymbolTable.h"
#include "sdk/crash/report/tests/ReportTestSupport.h"

namespace wv::test {
namespace {

extern "C" __attribute__((noinline, used)) int wvSymbolTableTarget(int value) {
    asm volatile("" ::: "memory");
    return value * 7 + 3;
}

const uint64_t kTarget = reinterpret_cast<uint64_t>(&wvSymbolTableTarget);

TEST(ElfSymbolTable, NamesAFunctionOfTheTestProgramFromItsFile) {
    const QXBinaryImageDetails self = imageHolding(kTarget);
    auto table = QXElfSymbolTable::load(self.path, self.uuid);
    ASSERT_TRUE(table);
    for (uint64_t distance : {0, 1, 4}) {
        auto symbol = table->lookup(kTarget + distance - self.slide);
        ASSERT_TRUE(symbol) << distance;
        EXPECT_EQ(symbol->name, "wvSymbolTableTarget");
        EXPECT_EQ(symbol->value, kTarget - self.slide);
    }
    EXPECT_FALSE(table->lookup(0));
    // Not the file that was loaded: its names would belong to other code.
    EXPECT_FALSE(QXElfSymbolTable::load(self.path, std::string(40, '0')));
}

using Mutation = void (*)(std::string& bytes);

struct BrokenCase {
    const char* label;
    Mutation mutate;
};

// Names the case in test output, rather than its bytes.
void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.label; }

template <class Field>
void put(std::string& bytes, size_t offset, Field value) {
    memcpy(bytes.data() + offset, &value, sizeof value);
}

const BrokenCase kBroken[] = {
    {"empty", [](std::string& b) { b.clear(); }},
    {"header_only", [](std::string& b) { b.resize(sizeof(ElfW(Ehdr))); }},
    {"sections_cut_off", [](std::string& b) { b.resize(b.size() / 2); }},
    {"garbage", [](std::string& b) { b.assign(4096, '\x5a'); }},
    {"not_elf", [](std::string& b) { b[1] = 'X'; }},
    {"other_class", [](std::string& b) { b[EI_CLASS] = ELFCLASS32; }},
    {"section_table_beyond_the_end",
     [](std::string& b) { put(b, offsetof(ElfW(Ehdr), e_shoff), uint64_t(b.size()) - 8); }},
    {"section_table_at_the_top",
     [](std::string& b) { put(b, offsetof(ElfW(Ehdr), e_shoff), ~uint64_t(0) - 16); }},
    {"too_many_sections",
     [](std::string& b) { put(b, offsetof(ElfW(Ehdr), e_shnum), uint16_t(0xffff)); }},
    {"odd_section_entry_size",
     [](std::string& b) { put(b, offsetof(ElfW(Ehdr), e_shentsize), uint16_t(12)); }},
};

class BrokenFiles : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFiles, GiveNoTable) {
    const QXBinaryImageDetails self = imageHolding(kTarget);
    std::string bytes = readFile(self.path);
    ASSERT_GT(bytes.size(), sizeof(ElfW(Ehdr)));
    GetParam().mutate(bytes);
    TempFolder folder;
    writeFile(folder / "image", bytes);
    EXPECT_FALSE(QXElfSymbolTable::load(folder / "image", ""));
}

INSTANTIATE_TEST_SUITE_P(ElfSymbolTable, BrokenFiles, ::testing::ValuesIn(kBroken),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ElfSymbolTable, NoFileNoDirectoryNoTable) {
    TempFolder folder;
    EXPECT_FALSE(QXElfSymbolTable::load(folder / "missing", ""));
    EXPECT_FALSE(QXElfSymbolTable::load(folder.path(), ""));
}

}  // namespace
}  // namespace wv::test
