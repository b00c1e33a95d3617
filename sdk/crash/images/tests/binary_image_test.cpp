#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sdk/crash/images/QXBinaryImage.h"
#include "sdk/crash/images/testing/QXTestImageTable.h"

namespace wv {
namespace {

using test::QXTestImageTable;

struct LookupCase {
    const char* name;
    uint64_t address;
    bool found;
    uint64_t expectedBase;
};

// Two images side by side, an unloaded one whose base stays claimed, and one at the very top
// of the address space, where base + size would wrap.
class BinaryImageLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(BinaryImageLookup, findsTheImageThatHoldsTheAddress) {
    QXTestImageTable table;
    table.clear();
    table.add({0x10000, 0x1000, 0x10800, 0x10900, 0});
    table.add({0x11000, 0x2000, 0, 0, 0});
    table.add({0x20000, 0, 0, 0, 0});  // unloaded
    table.add({0xfffffffffffff000, 0x1000, 0, 0, 0});
    const LookupCase& c = GetParam();
    QXBinaryImageNode node{};
    EXPECT_EQ(QXBinaryImageSafeFindImageForAddress(c.address, &node), c.found);
    if (c.found) EXPECT_EQ(node.baseAddress, c.expectedBase);
}

INSTANTIATE_TEST_SUITE_P(Cases, BinaryImageLookup,
                         ::testing::Values(LookupCase{"first_byte", 0x10000, true, 0x10000},
                                           LookupCase{"last_byte", 0x10fff, true, 0x10000},
                                           LookupCase{"next_image_starts", 0x11000, true, 0x11000},
                                           LookupCase{"past_every_image", 0x13000, false, 0},
                                           LookupCase{"below_every_image", 0xffff, false, 0},
                                           LookupCase{"inside_unloaded_image", 0x20010, false, 0},
                                           LookupCase{"zero", 0, false, 0},
                                           LookupCase{"top_of_address_space", 0xffffffffffffffff,
                                                      true, 0xfffffffffffff000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BinaryImage, copiesEveryFieldOfTheMatchingNode) {
    QXTestImageTable table;
    table.clear();
    table.add({0x10000, 0x1000, 0x10800, 0x10900, 0x10a00});
    QXBinaryImageNode node{};
    ASSERT_TRUE(QXBinaryImageSafeFindImageForAddress(0x10010, &node));
    EXPECT_EQ(node.size, 0x1000u);
    EXPECT_EQ(node.ehFrame, 0x10800u);
    EXPECT_EQ(node.unwindInfo, 0x10900u);
    EXPECT_EQ(node.crashInfo, 0x10a00u);
}

TEST(BinaryImage, refusesWithoutAnInitialisedContextOrAnOutNode) {
    QXTestImageTable table;
    table.clear();
    table.add({0x10000, 0x1000, 0, 0, 0});
    EXPECT_FALSE(QXBinaryImageSafeFindImageForAddress(0x10010, nullptr));
    qxContext->initialized = 0;
    QXBinaryImageNode node{};
    EXPECT_FALSE(QXBinaryImageSafeFindImageForAddress(0x10010, &node));
}

TEST(BinaryImage, hasCompactUnwindInfoOnlyForARealAddress) {
    QXBinaryImageNode node{};
    for (auto [address, expected] : {std::pair<uint64_t, bool>{0, false},
                                     {4095, false},
                                     {4096, true},
                                     {0x7f0000001000, true}}) {
        node.unwindInfo = address;
        EXPECT_EQ(QXBinaryImageHasCompactUnwindInfo(&node), expected) << address;
    }
    EXPECT_FALSE(QXBinaryImageHasCompactUnwindInfo(nullptr));
}

// The section headers of our own executable on disk: where the loader put .eh_frame and
// .eh_frame_hdr, and where the executable segments end.
struct FileLayout {
    uint64_t ehFrame = 0, ehFrameHdr = 0, executableEnd = 0;
};

FileLayout readOwnLayout() {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    FileLayout layout;
    auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
    auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + header->e_shoff);
    const char* names = bytes.data() + sections[header->e_shstrndx].sh_offset;
    for (int i = 0; i < header->e_shnum; ++i) {
        std::string name = names + sections[i].sh_name;
        if (name == ".eh_frame") layout.ehFrame = sections[i].sh_addr;
        if (name == ".eh_frame_hdr") layout.ehFrameHdr = sections[i].sh_addr;
    }
    auto* programs = reinterpret_cast<const Elf64_Phdr*>(bytes.data() + header->e_phoff);
    for (int i = 0; i < header->e_phnum; ++i) {
        if (programs[i].p_type == PT_LOAD && (programs[i].p_flags & PF_X) != 0) {
            layout.executableEnd =
                std::max<uint64_t>(layout.executableEnd, programs[i].p_vaddr + programs[i].p_memsz);
        }
    }
    return layout;
}

TEST(BinaryImage, nodeOfOurOwnExecutableMatchesItsSectionHeaders) {
    QXTestImageTable table;
    auto here = reinterpret_cast<uintptr_t>(&readOwnLayout);
    QXBinaryImageNode node{};
    ASSERT_TRUE(QXBinaryImageSafeFindImageForAddress(here, &node));
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(here), &info), 0);
    EXPECT_EQ(node.baseAddress, reinterpret_cast<uint64_t>(info.dli_fbase));
    EXPECT_EQ(memcmp(reinterpret_cast<const void*>(node.baseAddress), ELFMAG, SELFMAG), 0);

    FileLayout layout = readOwnLayout();
    ASSERT_NE(layout.ehFrame, 0u);
    // A position-independent executable is loaded at a bias; its first segment starts at 0.
    uint64_t bias = node.baseAddress;
    EXPECT_EQ(node.ehFrame, bias + layout.ehFrame);
    EXPECT_EQ(node.unwindInfo, bias + layout.ehFrameHdr);
    EXPECT_EQ(node.size, layout.executableEnd);
    EXPECT_EQ(node.crashInfo, 0u);
}

TEST(BinaryImage, everyLoadedObjectWithCodeIsFoundByItsOwnFunctions) {
    QXTestImageTable table;
    // A function of the C library and one of the loader: each lies in its own object.
    for (void* function : {reinterpret_cast<void*>(&memcpy), reinterpret_cast<void*>(&dladdr)}) {
        Dl_info info{};
        ASSERT_NE(dladdr(function, &info), 0);
        QXBinaryImageNode node{};
        ASSERT_TRUE(
            QXBinaryImageSafeFindImageForAddress(reinterpret_cast<uintptr_t>(function), &node))
            << info.dli_fname;
        EXPECT_EQ(node.baseAddress, reinterpret_cast<uint64_t>(info.dli_fbase)) << info.dli_fname;
        EXPECT_GE(node.ehFrame, 4096u) << info.dli_fname;
    }
}

}  // namespace
}  // namespace wv
