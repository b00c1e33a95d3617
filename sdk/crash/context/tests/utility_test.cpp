#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXHost.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

// Two pages, the second one unmapped: reads that reach it must fail without a fault.
class EdgeOfMapping {
  public:
    EdgeOfMapping() {
        page_ = QXHostGetPageSize();
        base_ = static_cast<char*>(
            mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        munmap(base_ + page_, page_);
    }
    ~EdgeOfMapping() { munmap(base_, page_); }
    char* end() const { return base_ + page_; }

  private:
    uint64_t page_;
    char* base_;
};

TEST(QXUtilityReadMemory, RefusesTheFirstPageAndUnmappedMemory) {
    QXUtilityInitialize();
    EdgeOfMapping edge;
    memcpy(edge.end() - 4, "abcd", 4);
    char out[8] = {};
    for (auto read : {QXUtilityReadMemory, QXUtilityReadMemoryThroughPipe}) {
        for (uintptr_t low : {uintptr_t(0), uintptr_t(1), uintptr_t(4095)}) {
            EXPECT_FALSE(read(low, out, 1)) << low;
        }
        EXPECT_TRUE(read(reinterpret_cast<uintptr_t>(edge.end() - 4), out, 4));
        EXPECT_EQ(std::string(out, 4), "abcd");
        EXPECT_FALSE(read(reinterpret_cast<uintptr_t>(edge.end() - 4), out, 8));
        EXPECT_FALSE(read(reinterpret_cast<uintptr_t>(edge.end()), out, 1));
        EXPECT_FALSE(read(~uintptr_t(0) - 2, out, 8));  // wraps around
    }
    std::vector<char> big(3 * 4096 + 17);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::vector<char> copy(big.size());
    EXPECT_TRUE(QXUtilityReadMemoryThroughPipe(reinterpret_cast<uintptr_t>(big.data()), copy.data(),
                                               copy.size()));
    EXPECT_EQ(copy, big);
}

TEST(QXUtilityReadString, StopsAtTheNulTheLimitOrAnUnreadableByte) {
    EdgeOfMapping edge;
    memcpy(edge.end() - 6, "ok\0abc", 6);
    const char* out = nullptr;
    uintptr_t ok = reinterpret_cast<uintptr_t>(edge.end() - 6);
    EXPECT_TRUE(QXUtilityReadString(ok, &out, 10));
    EXPECT_EQ(out, edge.end() - 6);
    EXPECT_FALSE(QXUtilityReadString(ok, &out, 2));  // limit before the NUL
    EXPECT_FALSE(QXUtilityReadString(reinterpret_cast<uintptr_t>(edge.end() - 3), &out,
                                     100));  // runs off the page
    EXPECT_FALSE(QXUtilityReadString(0, &out, 10));
    EXPECT_FALSE(QXUtilityReadString(4095, &out, 10));
    EXPECT_TRUE(QXUtilityReadString(0, &out, 0));
}

std::string sha1sum(const std::string& bytes) {
    test::TempFolder folder;
    test::writeFile(folder / "in", bytes);
    std::string command = "sha1sum " + (folder / "in").string();
    FILE* pipe = popen(command.c_str(), "r");
    char digest[41] = {};
    if (pipe == nullptr || fread(digest, 1, 40, pipe) != 40) digest[0] = '\0';
    if (pipe) pclose(pipe);
    return digest;
}

TEST(QXUtilitySHA1, AgreesWithSha1sum) {
    std::string million(1000000, 'a');
    std::string blocks;
    for (int i = 0; i < 300; ++i) blocks.push_back(static_cast<char>(i));
    for (const std::string& input : {std::string(), std::string("abc"), std::string(55, 'x'),
                                     std::string(56, 'x'), std::string(64, 'y'), blocks, million}) {
        char hex[41];
        QXUtilitySHA1HexString(input.data(), input.size(), hex);
        EXPECT_EQ(std::string(hex), sha1sum(input)) << input.size();
        EXPECT_EQ(strlen(hex), 40u);
    }
    EXPECT_EQ(QXUtilitySHA1HexStringFromData({'a', 'b', 'c'}),
              "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(QXUtilityHex, EncodesAndValuesDigits) {
    char byte[3];
    QXUtilityHexEncodeByte(0xa7, byte);
    EXPECT_STREQ(byte, "a7");
    char buffer[9];
    memset(buffer, 'z', sizeof(buffer));
    const uint8_t bytes[] = {0x00, 0x0f, 0xf0, 0xff};
    QXUtilityHexEncodeBytes(bytes, 4, buffer);
    EXPECT_STREQ(buffer, "000ff0ff");
    EXPECT_EQ(QXUtilityHexStringFromData({0xde, 0xad}), "dead");
    EXPECT_EQ(QXUtilityHexStringFromData({}), "");
    struct Case {
        char c;
        uint8_t value;
    };
    for (Case c : {Case{'0', 0},
                   {'9', 9},
                   {'a', 10},
                   {'f', 15},
                   {'A', 10},
                   {'F', 15},
                   {'g', 255},
                   {'G', 255},
                   {'/', 255},
                   {':', 255},
                   {'\0', 255}}) {
        EXPECT_EQ(QXUtilityHexDigitValue(c.c), c.value) << c.c;
    }
}

TEST(QXUtilityUUID, GeneratesAndNormalizes) {
    EXPECT_EQ(QXUtilityNormalizeUUID("0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D"),
              "0a1b2c3d4e5f6a7b8c9d0e1f2a3b4c5d");
    std::string uuid = QXUtilityGenerateUUID();
    ASSERT_EQ(uuid.size(), 36u);
    for (int dash : {8, 13, 18, 23}) EXPECT_EQ(uuid[dash], '-');
    EXPECT_EQ(uuid[14], '4');
    std::string normalized = QXUtilityGenerateNormalizedUUID();
    EXPECT_EQ(normalized.size(), 32u);
    EXPECT_EQ(normalized.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(normalized, QXUtilityGenerateNormalizedUUID());
}

TEST(QXUtility, UnlinkIfExistsAndSymbolLookup) {
    test::TempFolder folder;
    auto path = folder / "f";
    test::writeFile(path, "x");
    EXPECT_TRUE(QXUtilityUnlinkIfExists(path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(QXUtilityUnlinkIfExists(path.c_str()));
    EXPECT_FALSE(QXUtilityUnlinkIfExists(folder.path().c_str()));

    std::string symbol = "none", image = "none";
    QXLookupSymbolInfo(reinterpret_cast<uintptr_t>(&strlen), [&](const char* s, const char* i) {
        symbol = s ? s : "absent";
        image = i ? i : "absent";
    });
    EXPECT_NE(image.find("libc"), std::string::npos) << image;
    QXLookupSymbolInfo(16, [&](const char* s, const char* i) {
        symbol = s ? s : "absent";
        image = i ? i : "absent";
    });
    EXPECT_EQ(symbol, "absent");
    EXPECT_EQ(image, "absent");
}

}  // namespace
}  // namespace wv
