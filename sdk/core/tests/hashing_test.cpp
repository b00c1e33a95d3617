#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <set>

#include "TestSupport.h"
#include "sdk/core/TRNHashing.h"

namespace wv {
namespace {

TEST(Hex, EncodesLowerCaseAndClearsTheBuffer) {
    char two[2];
    TRNHexEncodeByte(0xa7, two);
    EXPECT_EQ(std::string(two, 2), "a7");
    TRNHexEncodeByte(0xff, nullptr);  // nothing happens

    const uint8_t bytes[] = {0x00, 0xff};
    char buffer[5];
    std::memset(buffer, 'x', sizeof buffer);
    TRNHexEncodeBytes(bytes, 2, buffer);
    EXPECT_EQ(std::string(buffer, 5), std::string("00ff\0", 5));
    std::memset(buffer, 'x', sizeof buffer);
    TRNHexEncodeBytes(nullptr, 2, buffer);
    EXPECT_EQ(std::string(buffer, 5), std::string(5, '\0'));
    TRNHexEncodeBytes(bytes, 2, nullptr);

    const std::vector<uint8_t> data = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    EXPECT_EQ(TRNHexStringFromData(data), "0123456789abcdef");
    EXPECT_EQ(TRNHexStringFromData({}), "");
    uint8_t uuid[16];
    for (int i = 0; i < 16; ++i) uuid[i] = uint8_t(i * 17);
    EXPECT_EQ(TRNHexStringFromUUIDBytes(uuid), "00112233445566778899aabbccddeeff");
}

TEST(Digests, AgreeWithTheCoreutils) {
    const std::vector<std::string> inputs = {
        "",
        "abc",
        std::string(55, 'x'),
        std::string(56, 'y'),
        std::string(64, 'z'),
        std::string("\0\1\2\xff", 4),
        std::string(100000, '\x80'),
    };
    for (const auto& input : inputs) {
        EXPECT_EQ(TRNSHA1HexDigest(input.data(), input.size()),
                  testing::toolDigest("sha1sum", input))
            << input.size();
        EXPECT_EQ(TRNSHA256HexDigest(input.data(), input.size()),
                  testing::toolDigest("sha256sum", input))
            << input.size();
    }
    const std::vector<uint8_t> abc = {'a', 'b', 'c'};
    EXPECT_EQ(TRNSHA1HexDigestOfData(abc), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(TRNSHA256HexDigestOfData(abc),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// A length that does not fit 32 bits is hashed whole, not cut to its low bits. Our side hashes
// an anonymous mapping with the same bytes (its zero pages cost no memory); sha1sum reads the
// sparse file, from shared memory where there is some (its holes read without disk or cache).
TEST(Digests, InputsOverFourGibibytes) {
    const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm")
                                             ? "/dev/shm"
                                             : std::filesystem::temp_directory_path();
    const auto path = folder / ("wv-sparse-" + std::to_string(getpid()));
    const size_t size = (size_t(1) << 32) + 3;
    {
        const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t(size - 3)), 0);
        ASSERT_EQ(pwrite(fd, "end", 3, off_t(size - 3)), 3);
        close(fd);
    }
    // Read-only and populated up front: every page is the shared zero page, mapped in one
    // call rather than a million faults; only the last page becomes writable memory.
    void* map = mmap(nullptr, size, PROT_READ,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_POPULATE, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    char* last = static_cast<char*>(map) + (size - 3) / page * page;
    ASSERT_EQ(mprotect(last, page, PROT_READ | PROT_WRITE), 0);
    std::memcpy(static_cast<char*>(map) + size - 3, "end", 3);
    const std::string ours = TRNSHA1HexDigest(map, size);
    munmap(map, size);
    const std::string tool = testing::commandOutput("sha1sum " + path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(ours, tool.substr(0, 40));
}

TEST(UUIDs, FreshVersionFourInTheStandardForm) {
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string uuid = TRNGenerateUUIDString();
        EXPECT_TRUE(std::regex_match(uuid, form)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(ByteRanges, OneRangeOrEachUntilStopped) {
    const std::vector<uint8_t> whole = {1, 2, 3};
    std::vector<std::pair<size_t, size_t>> calls;
    TRNEnumerateDataByteRanges(whole, [&](const uint8_t* bytes, TRNByteRange range, bool& stop) {
        EXPECT_FALSE(stop);
        EXPECT_EQ(bytes, whole.data());
        calls.emplace_back(range.location, range.length);
    });
    EXPECT_EQ(calls, (std::vector<std::pair<size_t, size_t>>{{0, 3}}));

    const std::vector<uint8_t> a = {1, 2}, b = {3, 4, 5}, c = {6};
    calls.clear();
    TRNEnumerateDataByteRanges({a, b, c}, [&](const uint8_t*, TRNByteRange range, bool& stop) {
        calls.emplace_back(range.location, range.length);
        stop = range.location == 2;
    });
    EXPECT_EQ(calls, (std::vector<std::pair<size_t, size_t>>{{0, 2}, {2, 3}}));
}

}  // namespace
}  // namespace wv
