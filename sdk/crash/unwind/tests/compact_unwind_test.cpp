#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/images/testing/QXTestImageTable.h"
#include "sdk/crash/unwind/QXCompactUnwind.h"
#include "sdk/crash/unwind/QXDwarfUnwind.h"

namespace wv {
namespace {

const std::string kDylib = WV_UNWIND_FIXTURES "/compact.dylib";

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

// The dylib's bytes in a writable mapping of their own: its __TEXT starts at address 0 and
// offset 0, so the file's layout is the image's. Tests change bytes to make bad tables.
class MachOImage {
  public:
    explicit MachOImage(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        size_ = bytes.size();
        void* map =
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = static_cast<uint8_t*>(map);
        memcpy(base_, bytes.data(), size_);
        uint32_t commands;
        memcpy(&commands, base_ + 16, 4);
        const uint8_t* command = base_ + 32;
        for (uint32_t i = 0; i < commands; ++i) {
            uint32_t kind, size;
            memcpy(&kind, command, 4);
            memcpy(&size, command + 4, 4);
            if (kind == 0x19) {  // LC_SEGMENT_64
                uint32_t sections;
                memcpy(&sections, command + 64, 4);
                for (uint32_t s = 0; s < sections; ++s) {
                    const uint8_t* section = command + 72 + 80 * s;
                    uint64_t address;
                    memcpy(&address, section + 32, 8);
                    sections_[std::string(reinterpret_cast<const char*>(section),
                                          strnlen(reinterpret_cast<const char*>(section), 16))] =
                        address;
                }
            }
            command += size;
        }
    }
    ~MachOImage() { munmap(base_, size_); }
    uint64_t base() const { return reinterpret_cast<uint64_t>(base_); }
    uint64_t section(const std::string& name) const {
        auto it = sections_.find(name);
        return it == sections_.end() ? 0 : base() + it->second;
    }
    uint8_t* at(uint64_t address) { return reinterpret_cast<uint8_t*>(address); }

  private:
    uint8_t* base_;
    size_t size_;
    std::map<std::string, uint64_t> sections_;
};

struct Listed {
    uint64_t start, end;
    uint32_t encoding;
};

// Every function llvm-objdump lists in the second-level pages, with its range.
std::vector<Listed> listedFunctions() {
    std::istringstream dump(
        run(std::string(WV_OBJDUMP) + " --macho --unwind-info '" + kDylib + "'"));
    std::regex top(R"(^    \[\d+\]: function offset=0x([0-9a-f]+), 2nd level)");
    std::regex entry(
        R"(^      \[\d+\]: function offset=0x([0-9a-f]+), encoding\[\d+\]=0x([0-9a-f]+))");
    std::vector<uint64_t> tops;
    std::vector<Listed> listed;
    std::string line;
    std::vector<std::vector<Listed>> pages;
    while (std::getline(dump, line)) {
        std::smatch m;
        if (std::regex_search(line, m, top)) tops.push_back(std::stoull(m[1], nullptr, 16));
        if (line.find("Second level index[") != std::string::npos) pages.emplace_back();
        if (std::regex_search(line, m, entry) && !pages.empty()) {
            pages.back().push_back(
                {std::stoull(m[1], nullptr, 16), 0, uint32_t(std::stoul(m[2], nullptr, 16))});
        }
    }
    for (size_t p = 0; p < pages.size(); ++p) {
        for (size_t i = 0; i < pages[p].size(); ++i) {
            pages[p][i].end = i + 1 < pages[p].size() ? pages[p][i + 1].start : tops[p + 1];
            listed.push_back(pages[p][i]);
        }
    }
    return listed;
}

class CompactUnwindFixture : public ::testing::Test {
  protected:
    bool init(QXCompactUnwindContext* context) {
        return QXCompactUnwindInit(context, image_.section("__unwind_info"),
                                   image_.section("__eh_frame"), image_.base());
    }
    std::string log() const { return test::readFile(folder_ / "sdk.log"); }

    test::TempFolder folder_;
    test::QXTestImageTable table_{(folder_ / "sdk.log").string()};
    MachOImage image_{kDylib};
};

TEST_F(CompactUnwindFixture, findsTheEncodingAndRangeLlvmObjdumpLists) {
    std::vector<Listed> listed = listedFunctions();
    ASSERT_GE(listed.size(), 6u);
    std::map<uint32_t, int> modes;
    QXCompactUnwindContext context;
    ASSERT_TRUE(init(&context));
    for (const Listed& f : listed) {
        for (uint64_t offset : {f.start, f.start + 1, f.end - 1}) {
            QXCompactUnwindResult result;
            bool found = QXCompactUnwindLookup(&context, image_.base() + offset, &result);
            if (f.encoding == 0) {
                EXPECT_FALSE(found) << std::hex << offset;
                continue;
            }
            ASSERT_TRUE(found) << std::hex << offset;
            EXPECT_EQ(result.encoding, f.encoding) << std::hex << offset;
            EXPECT_EQ(result.functionStart, image_.base() + f.start) << std::hex << offset;
            EXPECT_EQ(result.functionEnd, image_.base() + f.end) << std::hex << offset;
        }
        modes[(f.encoding >> 24) & 0xf] += 1;
    }
    // The fixture holds every mode the lookup serves.
    for (uint32_t mode : {1u, 2u, 3u, 4u}) EXPECT_GT(modes[mode], 0) << mode;
}

TEST_F(CompactUnwindFixture, pcsOutsideTheListedFunctionsAreNotFound) {
    std::vector<Listed> listed = listedFunctions();
    QXCompactUnwindContext context;
    ASSERT_TRUE(init(&context));
    QXCompactUnwindResult result;
    EXPECT_FALSE(
        QXCompactUnwindLookup(&context, image_.base() + listed.front().start - 1, &result));
    EXPECT_FALSE(QXCompactUnwindLookup(&context, image_.base() + listed.back().end, &result));
}

TEST_F(CompactUnwindFixture, aDwarfModeFunctionIsUnwoundThroughItsFDE) {
    // ld64.lld 14 writes the DWARF encoding without its FDE offset and leaves the FDEs'
    // starts unrelocated, so the function's FDE is made here, with the rules of its
    // prologue, and the encoding points at it.
    uint64_t unwindInfo = image_.section("__unwind_info");
    uint32_t commonOffset, commonCount;
    memcpy(&commonOffset, image_.at(unwindInfo + 4), 4);
    memcpy(&commonCount, image_.at(unwindInfo + 8), 4);
    uint64_t dwarfFunction = 0;
    for (const Listed& f : listedFunctions()) {
        if ((f.encoding >> 24) == 4) dwarfFunction = f.start;
    }
    ASSERT_NE(dwarfFunction, 0u);
    // CIE: "zR" with absolute 8-byte pointers; CFA = rsp + 8, return address at CFA - 8.
    std::vector<uint8_t> ehFrame = {20, 0,    0,  0, 0, 0,    0,    0,    1,    'z',  'R', 0,
                                    1,  0x78, 16, 1, 0, 0x0c, 0x07, 0x08, 0x90, 0x01, 0,   0};
    const uint32_t fdeOffset = uint32_t(ehFrame.size());
    uint64_t start = image_.base() + dwarfFunction;
    std::vector<uint8_t> fde = {0, 0, 0, 0, 0, 0, 0, 0};  // length, CIE pointer: set below
    for (int i = 0; i < 8; ++i) fde.push_back(uint8_t(start >> (8 * i)));
    for (int i = 0; i < 8; ++i) fde.push_back(i == 0 ? 0x27 : 0);
    // push rbp; mov rsp, rbp; sub; mov rbx, -200(rbp): rbx at CFA - 216.
    fde.insert(fde.end(), {0, 0x41, 0x0e, 0x10, 0x86, 0x02, 0x43, 0x0d, 0x06, 0x4b, 0x83, 0x1b});
    uint32_t fdeLength = uint32_t(fde.size() - 4), ciePointer = fdeOffset + 4;
    memcpy(fde.data(), &fdeLength, 4);
    memcpy(fde.data() + 4, &ciePointer, 4);
    ehFrame.insert(ehFrame.end(), fde.begin(), fde.end());
    ehFrame.insert(ehFrame.end(), {0, 0, 0, 0});
    for (uint32_t i = 0; i < commonCount; ++i) {
        uint8_t* slot = image_.at(unwindInfo + commonOffset + 4 * i);
        uint32_t encoding;
        memcpy(&encoding, slot, 4);
        if ((encoding >> 24) == 4) {
            encoding |= fdeOffset;
            memcpy(slot, &encoding, 4);
        }
    }
    // In the body: CFA = rbp + 16, rbp at CFA - 16, rbx at CFA - 216.
    uint64_t stack[64] = {};
    auto at = [&](int i) { return reinterpret_cast<uint64_t>(&stack[i]); };
    uint64_t rbp = at(40);
    stack[40] = 0x7000'0000'1000;  // the caller's rbp
    stack[41] = 0x5555'0000'4321;  // the return address
    stack[42 - 27] = 0xb0b;        // rbx at CFA - 216 = rbp + 16 - 216
    QXUnwindCursor cursor{};
    cursor.context.rip = start + 20;
    cursor.context.rsp = at(8);
    cursor.context.rbp = rbp;
    QXCompactUnwindContext context;
    ASSERT_TRUE(QXCompactUnwindInit(&context, unwindInfo,
                                    reinterpret_cast<uint64_t>(ehFrame.data()), image_.base()));
    ASSERT_TRUE(QXCompactUnwindLookupAndCompute(&context, &cursor)) << log();
    EXPECT_EQ(cursor.context.rip, 0x5555'0000'4321u);
    EXPECT_EQ(cursor.context.rsp, rbp + 16);
    EXPECT_EQ(cursor.context.rbp, 0x7000'0000'1000u);
    EXPECT_EQ(cursor.context.rbx, 0xb0bu);
}

TEST_F(CompactUnwindFixture, aDwarfModeEncodingWithoutEhFrameFails) {
    QXCompactUnwindContext context;
    ASSERT_TRUE(QXCompactUnwindInit(&context, image_.section("__unwind_info"), 0, image_.base()));
    QXUnwindCursor cursor{};
    cursor.context.rsp = 0x10000;
    QXCompactUnwindResult result{0x04000040, image_.base(), image_.base() + 16};
    EXPECT_FALSE(QXCompactUnwindComputeRegisters(&context, &result, &cursor));
    EXPECT_NE(log().find("Unable to init FDE"), std::string::npos);
}

// What the linker never writes, made by changing the fixture's bytes.
TEST_F(CompactUnwindFixture, refusesBadTables) {
    uint64_t unwindInfo = image_.section("__unwind_info");
    std::vector<Listed> listed = listedFunctions();
    uint64_t pc = image_.base() + listed.front().start + 1;
    QXCompactUnwindContext context;
    QXCompactUnwindResult result;

    uint32_t version = 2;
    memcpy(image_.at(unwindInfo), &version, 4);
    EXPECT_FALSE(init(&context));
    EXPECT_NE(log().find("bad unwind_info structure version (2 != 1)"), std::string::npos);
    version = 1;
    memcpy(image_.at(unwindInfo), &version, 4);

    uint32_t indexOffset, pageOffset;
    memcpy(&indexOffset, image_.at(unwindInfo + 20), 4);
    memcpy(&pageOffset, image_.at(unwindInfo + indexOffset + 4), 4);
    uint8_t* page = image_.at(unwindInfo + pageOffset);
    uint32_t kind = 2;  // a regular page
    memcpy(page, &kind, 4);
    ASSERT_TRUE(init(&context));
    EXPECT_FALSE(QXCompactUnwindLookup(&context, pc, &result));
    EXPECT_NE(log().find("Encountered a regular second-level page"), std::string::npos);
    kind = 3;
    memcpy(page, &kind, 4);
    ASSERT_TRUE(QXCompactUnwindLookup(&context, pc, &result));

    // An encoding index past both arrays.
    uint16_t entriesAt;
    memcpy(&entriesAt, page + 4, 2);
    page[entriesAt + 3] = 0xfe;
    EXPECT_FALSE(QXCompactUnwindLookup(&context, pc, &result));
    page[entriesAt + 3] = 0;

    // A page offset far past the end of the mapping.
    uint32_t farAway = 0x40000000;
    memcpy(image_.at(unwindInfo + indexOffset + 4), &farAway, 4);
    EXPECT_FALSE(QXCompactUnwindLookup(&context, pc, &result));
    memcpy(image_.at(unwindInfo + indexOffset + 4), &pageOffset, 4);

    // An index count running past the mapping: a PC the real entries do not cover sends the
    // scan on into unmapped memory, where it stops.
    uint32_t count = 0x00ffffff;
    memcpy(image_.at(unwindInfo + 24), &count, 4);
    ASSERT_TRUE(init(&context));
    EXPECT_TRUE(QXCompactUnwindLookup(&context, pc, &result));
    EXPECT_FALSE(QXCompactUnwindLookup(&context, image_.base() + 0x7fffffff, &result));
}

TEST(CompactUnwindInit, refusesAbsentAddresses) {
    test::TempFolder folder;
    test::QXTestImageTable table((folder / "sdk.log").string());
    QXCompactUnwindContext context;
    EXPECT_FALSE(QXCompactUnwindInit(nullptr, 0x10000, 0, 0x10000));
    EXPECT_FALSE(QXCompactUnwindInit(&context, 100, 0, 0x10000));
    EXPECT_FALSE(QXCompactUnwindInit(&context, 0x10000, 0, 100));
    EXPECT_FALSE(QXCompactUnwindInit(&context, 0x10000, 0, 0x10000));  // unmapped
    std::string log = test::readFile(folder / "sdk.log");
    EXPECT_NE(log.find("invalid unwind info passed"), std::string::npos);
    EXPECT_NE(log.find("invalid load address passed"), std::string::npos);
    EXPECT_NE(log.find("could not read memory contents of unwindInfo"), std::string::npos);
}

// The standard encoding of an ordered choice of saved registers (compact numbers 1-6).
uint32_t encodePermutation(const std::vector<uint32_t>& registers) {
    std::vector<uint32_t> index;
    std::vector<bool> taken(7, false);
    for (uint32_t r : registers) {
        uint32_t smaller = 0;
        for (uint32_t n = 1; n < r; ++n) smaller += taken[n] ? 0 : 1;
        index.push_back(smaller);
        taken[r] = true;
    }
    switch (registers.size()) {
        case 1:
            return index[0];
        case 2:
            return 5 * index[0] + index[1];
        case 3:
            return 20 * index[0] + 4 * index[1] + index[2];
        case 4:
            return 60 * index[0] + 12 * index[1] + 3 * index[2] + index[3];
        default:  // 5 and 6: the sixth is the one left
            return 120 * index[0] + 24 * index[1] + 6 * index[2] + 2 * index[3] + index[4];
    }
}

void everyChoice(uint32_t count, std::vector<uint32_t>& chosen,
                 std::vector<std::vector<uint32_t>>& out) {
    if (chosen.size() == count) {
        out.push_back(chosen);
        return;
    }
    for (uint32_t r = 1; r <= 6; ++r) {
        if (std::find(chosen.begin(), chosen.end(), r) != chosen.end()) continue;
        chosen.push_back(r);
        everyChoice(count, chosen, out);
        chosen.pop_back();
    }
}

TEST(CompactUnwindPermutation, everyOrderedChoiceOfRegistersComesBack) {
    for (uint32_t count = 0; count <= 6; ++count) {
        std::vector<std::vector<uint32_t>> choices;
        std::vector<uint32_t> chosen;
        everyChoice(count, chosen, choices);
        for (const auto& choice : choices) {
            uint32_t p = count == 0 ? 0 : encodePermutation(choice);
            uint32_t indices[6], registers[6];
            ASSERT_TRUE(QXCompactUnwindDecompressPermutation(count, p, indices));
            ASSERT_TRUE(QXCompactUnwindRemapRegisters(count, indices, registers));
            for (uint32_t i = 0; i < count; ++i) {
                EXPECT_EQ(registers[i], choice[i]) << count << " registers, permutation " << p;
            }
        }
    }
    uint32_t indices[6], registers[6];
    EXPECT_FALSE(QXCompactUnwindDecompressPermutation(7, 0, indices));
    EXPECT_FALSE(QXCompactUnwindRemapRegisters(7, indices, registers));
}

// Registers of frameless and frame-based frames on made-up stacks.
class CompactUnwindRegisters : public ::testing::Test {
  protected:
    QXUnwindCursor cursorAt(int slot) {
        QXUnwindCursor cursor{};
        cursor.context.rsp = at(slot);
        cursor.context.rbp = 0x1111;
        cursor.context.rbx = 0x2222;
        cursor.context.rip = 0x5555'0000'0001;
        return cursor;
    }
    uint64_t at(int i) { return reinterpret_cast<uint64_t>(&stack_[i]); }
    std::string log() const { return test::readFile(folder_ / "sdk.log"); }

    test::TempFolder folder_;
    test::QXTestImageTable table_{(folder_ / "sdk.log").string()};
    uint64_t stack_[64] = {};
};

uint32_t frameless(uint32_t mode, uint32_t size, uint32_t adjust, uint32_t count, uint32_t p) {
    return (mode << 24) | (size << 16) | (adjust << 13) | (count << 10) | p;
}

TEST_F(CompactUnwindRegisters, aFramelessFrameRestoresOnlyRbpAndSkipsTheOthers) {
    // 4 words: rbx and rbp saved below the return address.
    std::vector<uint32_t> saved = {1, 6};  // rbx, rbp
    uint32_t encoding = frameless(2, 4, 0, 2, encodePermutation(saved));
    stack_[1] = 0xbbbb;            // rbx
    stack_[2] = 0x7000'0000'0010;  // rbp
    stack_[3] = 0x5555'0000'2000;  // return address
    QXUnwindCursor cursor = cursorAt(0);
    QXCompactUnwindResult result{encoding, 0x5555'0000'0000, 0x5555'0000'0100};
    QXCompactUnwindContext context{};
    ASSERT_TRUE(QXCompactUnwindComputeRegisters(&context, &result, &cursor));
    EXPECT_EQ(cursor.context.rip, 0x5555'0000'2000u);
    EXPECT_EQ(cursor.context.rsp, at(4));
    EXPECT_EQ(cursor.context.rbp, 0x7000'0000'0010u);
    EXPECT_EQ(cursor.context.rbx, 0x2222u);  // kept
    std::string text = log();
    EXPECT_NE(text.find("skipping a restore of register 1"), std::string::npos) << text;
    EXPECT_EQ(text.find("skipping a restore of register 6"), std::string::npos) << text;
}

TEST_F(CompactUnwindRegisters, anIndirectSizeIsReadFromTheFunctionsSubtract) {
    // "sub $0x18, %rsp" at offset 3 of the function: its immediate is at offset 6; the
    // stack adjust adds one push.
    uint8_t code[16] = {0x55, 0x53, 0x50, 0x48, 0x83, 0xec, 0x10, 0x00, 0x00, 0x00};
    uint32_t encoding = frameless(3, 6, 1, 0, 0);
    stack_[2] = 0x5555'0000'3000;  // size 0x10 + 8: the return address at SP + 16
    QXUnwindCursor cursor = cursorAt(0);
    QXCompactUnwindResult result{encoding, reinterpret_cast<uint64_t>(code),
                                 reinterpret_cast<uint64_t>(code) + 16};
    QXCompactUnwindContext context{};
    ASSERT_TRUE(QXCompactUnwindComputeRegisters(&context, &result, &cursor)) << log();
    EXPECT_EQ(cursor.context.rip, 0x5555'0000'3000u);
    EXPECT_EQ(cursor.context.rsp, at(3));
}

TEST_F(CompactUnwindRegisters, aFrameBasedFrameFollowsRbp) {
    stack_[10] = at(20);
    stack_[11] = 0x5555'0000'4000;
    QXUnwindCursor cursor = cursorAt(0);
    cursor.context.rbp = at(10);
    QXCompactUnwindResult result{0x01000000, 0x5555'0000'0000, 0x5555'0000'0100};
    QXCompactUnwindContext context{};
    ASSERT_TRUE(QXCompactUnwindComputeRegisters(&context, &result, &cursor));
    EXPECT_EQ(cursor.context.rip, 0x5555'0000'4000u);
    EXPECT_EQ(cursor.context.rbp, at(20));
    EXPECT_EQ(cursor.context.rsp, at(12));
}

TEST_F(CompactUnwindRegisters, refusesWhatItCannotUse) {
    QXCompactUnwindContext context{};
    for (uint32_t encoding :
         {0x00000000u, 0x05000000u, 0x0f000000u, frameless(2, 4, 0, 7, 0),  // seven saved registers
          frameless(2, 0, 0, 0, 0)}) {                                      // a return address of 0
        QXUnwindCursor cursor = cursorAt(0);
        QXCompactUnwindResult result{encoding, 0x5555'0000'0000, 0x5555'0000'0100};
        EXPECT_FALSE(QXCompactUnwindComputeRegisters(&context, &result, &cursor)) << encoding;
    }
    EXPECT_NE(log().find("Invalid encoding 5000000"), std::string::npos);
}

}  // namespace
}  // namespace wv
