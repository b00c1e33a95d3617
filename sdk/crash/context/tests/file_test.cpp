#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace wv {
namespace {

using test::readFile;
using test::ScopedLogContext;
using test::TempFolder;

struct ValueCase {
    const char* name;
    std::function<void(QXFile*)> write;
    const char* text;     // the line as written
    const char* decoded;  // the value of "s" as the reader gives it back
};

std::string line(const std::function<void(QXFile*)>& write, const std::filesystem::path& path) {
    QXFile file;
    EXPECT_TRUE(QXFileInitWithPathMode(&file, path.c_str(), false, false));
    QXFileWriteSectionStart(&file, "s");
    write(&file);
    QXFileWriteSectionEnd(&file);
    EXPECT_TRUE(QXFileClose(&file));
    return readFile(path);
}

TEST(QXFile, EveryValueFormRoundTrips) {
    const ValueCase cases[] = {
        {"empty object",
         [](QXFile* f) {
             QXFileWriteHashStart(f);
             QXFileWriteHashEnd(f);
         },
         R"({"s":{}})", "{}"},
        {"empty array",
         [](QXFile* f) {
             QXFileWriteArrayStart(f);
             QXFileWriteArrayEnd(f);
         },
         R"({"s":[]})", "[]"},
        {"sibling after a closed container",
         [](QXFile* f) {
             QXFileWriteHashStart(f);
             QXFileWriteHashKey(f, "a");
             QXFileWriteHashStart(f);
             QXFileWriteHashEnd(f);
             QXFileWriteHashKey(f, "b");
             QXFileWriteArrayStart(f);
             QXFileWriteArrayEntryUint64(f, 1);
             QXFileWriteArrayStart(f);
             QXFileWriteArrayEnd(f);
             QXFileWriteArrayEntryString(f, "x");
             QXFileWriteArrayEnd(f);
             QXFileWriteHashEntryBoolean(f, "c", false);
             QXFileWriteHashEnd(f);
         },
         R"({"s":{"a":{},"b":[1,[],"x"],"c":false}})", R"({"a":{},"b":[1,[],"x"],"c":false})"},
        {"zero",
         [](QXFile* f) {
             QXFileWriteArrayStart(f);
             QXFileWriteArrayEntryUint64(f, 0);
             QXFileWriteArrayEnd(f);
         },
         R"({"s":[0]})", "[0]"},
        {"largest 64-bit value",
         [](QXFile* f) {
             QXFileWriteHashStart(f);
             QXFileWriteHashEntryUint64(f, "u", UINT64_MAX);
             QXFileWriteHashEnd(f);
         },
         R"({"s":{"u":18446744073709551615}})", R"({"u":18446744073709551615})"},
        {"negatives",
         [](QXFile* f) {
             QXFileWriteHashStart(f);
             QXFileWriteHashEntryInt64(f, "n", -5);
             QXFileWriteHashEntryInt64(f, "m", INT64_MIN);
             QXFileWriteHashEntryInt64(f, "p", 12);
             QXFileWriteHashEnd(f);
         },
         R"({"s":{"n":-5,"m":-9223372036854775808,"p":12}})",
         R"({"m":-9223372036854775808,"n":-5,"p":12})"},
        {"absent strings",
         [](QXFile* f) {
             QXFileWriteHashStart(f);
             QXFileWriteHashEntryString(f, "a", nullptr);
             QXFileWriteHashEntryHexEncodedString(f, "b", nullptr);
             QXFileWriteHashEntryNSString(f, "c", std::nullopt);
             QXFileWriteHashEntryNSStringUnlessNilOrEmpty(f, "d", std::string());
             QXFileWriteHashEntryNSStringUnlessNilOrEmpty(f, "e", std::string("v"));
             QXFileWriteHashEnd(f);
         },
         R"({"s":{"a":null,"b":null,"c":null,"e":"v"}})",
         R"({"a":null,"b":null,"c":null,"e":"v"})"},
        {"hex of arbitrary bytes",
         [](QXFile* f) {
             QXFileWriteArrayStart(f);
             QXFileWriteArrayEntryHexEncodedString(f, "\x01\xff\"\\ \x7f");
             QXFileWriteArrayEntryHexEncodedString(f, "");
             QXFileWriteArrayEnd(f);
         },
         R"({"s":["01ff225c207f",""]})", R"(["01ff225c207f",""])"},
        {"plain strings are escaped",
         [](QXFile* f) {
             QXFileWriteHashStart(f);
             QXFileWriteHashEntryString(f, "q\"k", "a\"b\\c\nd\x01");
             QXFileWriteHashEnd(f);
         },
         R"({"s":{"q\"k":"a\"b\\c\nd\u0001"}})", R"({"q\"k":"a\"b\\c\nd\u0001"})"},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::path path = folder / "values.qxrecord";
        EXPECT_EQ(line(c.write, path), std::string(c.text) + "\n");
        auto sections = QXFileReadSections(path, false);
        ASSERT_TRUE(sections.has_value());
        ASSERT_EQ(sections->size(), 1u);
        EXPECT_EQ((*sections)[0]["s"], nlohmann::json::parse(c.decoded));
    }
}

TEST(QXFile, AppendModeStartsAtTheExistingSizeAndCountsEveryByte) {
    TempFolder folder;
    std::filesystem::path path = folder / "a.qxrecord";
    test::writeFile(path, "0123456789");
    for (bool buffered : {false, true}) {
        SCOPED_TRACE(buffered);
        QXFile file;
        ASSERT_TRUE(QXFileInitWithPath(&file, path.c_str(), buffered));
        uint64_t start = std::filesystem::file_size(path);
        EXPECT_EQ(file.offset, start);
        QXFileWriteSectionStart(&file, "k");
        QXFileWriteHashStart(&file);
        QXFileWriteHashEntryUint64(&file, "v", 7);
        QXFileWriteHashEnd(&file);
        QXFileWriteSectionEnd(&file);
        uint64_t end = 0;
        ASSERT_TRUE(QXFileCloseWithOffset(&file, &end));
        EXPECT_EQ(end, std::filesystem::file_size(path));
        EXPECT_EQ(end, start + std::string(R"({"k":{"v":7}})"
                                           "\n")
                                   .size());
        EXPECT_EQ(file.descriptor, -1);
    }
}

TEST(QXFile, AnUnbufferedFileHasEveryFinishedLineOnDisk) {
    TempFolder folder;
    std::filesystem::path path = folder / "u.qxrecord";
    QXFile file;
    ASSERT_TRUE(QXFileInitWithPathMode(&file, path.c_str(), false, false));
    QXFileWriteSectionStart(&file, "big");
    QXFileWriteArrayStart(&file);
    for (uint64_t i = 0; i < 300; ++i) QXFileWriteArrayEntryUint64(&file, UINT64_MAX - i);
    QXFileWriteArrayEntryHexEncodedString(&file, std::string(700, 'z').c_str());
    QXFileWriteArrayEnd(&file);
    QXFileWriteSectionEnd(&file);
    uint64_t firstLine = std::filesystem::file_size(path);
    EXPECT_EQ(file.offset, firstLine);
    auto sections = QXFileReadSections(path, false);
    ASSERT_TRUE(sections && sections->size() == 1);
    EXPECT_EQ((*sections)[0]["big"].size(), 301u);
    EXPECT_EQ((*sections)[0]["big"][299], UINT64_MAX - 299);

    // A line still being written is not on disk until it ends (or the file closes).
    QXFileWriteSectionStart(&file, "next");
    QXFileWriteHashStart(&file);
    QXFileWriteHashEntryUint64(&file, "v", 1);
    EXPECT_EQ(std::filesystem::file_size(path), firstLine);
    uint64_t end = 0;
    ASSERT_TRUE(QXFileCloseWithOffset(&file, &end));
    EXPECT_EQ(end, std::filesystem::file_size(path));
    EXPECT_EQ(readFile(path).substr(firstLine), R"({"next":{"v":1)");
}

TEST(QXFile, TheWriteBufferNeverHoldsMoreThan999Bytes) {
    TempFolder folder;
    std::filesystem::path path = folder / "b.qxrecord";
    struct Step {
        uint64_t length;
        uint64_t fillAfter;
        uint64_t flushedAfter;
    };
    const Step steps[] = {
        {998, 998, 0}, {1, 999, 0}, {1, 1, 999}, {2997, 1, 999 * 4}, {0, 1, 999 * 4}};
    QXFile file;
    ASSERT_TRUE(QXFileInitWithPathMode(&file, path.c_str(), false, true));
    std::string expected;
    char next = 'a';
    for (const auto& step : steps) {
        std::string bytes(step.length, next);
        next = static_cast<char>(next + 1);
        expected += bytes;
        QXFileWriteToFileDescriptorOrBuffer(&file, bytes.data(), bytes.size());
        EXPECT_EQ(file.bufferFill, step.fillAfter) << step.length;
        EXPECT_LE(file.bufferFill, 999u);
        EXPECT_EQ(file.offset, step.flushedAfter) << step.length;
        EXPECT_EQ(std::filesystem::file_size(path), step.flushedAfter);
    }
    ASSERT_TRUE(QXFileClose(&file));
    EXPECT_EQ(readFile(path), expected);
}

TEST(QXFile, WriteWithRetriesRefusesNothingAndReportsABadDescriptor) {
    ScopedLogContext scope;
    EXPECT_FALSE(QXFileWriteWithRetries(1, "x", 0));
    EXPECT_FALSE(QXFileWriteWithRetries(-1, "x", 1));
    EXPECT_NE(scope.log().find("Failed to write: Bad file descriptor"), std::string::npos)
        << scope.log();
}

TEST(QXFile, OpenAndCloseFailuresAreLoggedAndFalse) {
    ScopedLogContext scope;
    QXFile file;
    EXPECT_FALSE(QXFileInitWithPathMode(nullptr, "/tmp/x", false, false));
    EXPECT_FALSE(QXFileInitWithPathMode(&file, nullptr, false, false));
    EXPECT_FALSE(
        QXFileInitWithPathMode(&file, (scope.folder() / "missing/dir/f").c_str(), false, false));
    EXPECT_FALSE(QXFileClose(nullptr));
    EXPECT_FALSE(QXFileIsOpen(nullptr));
    std::string log = scope.log();
    for (const char* message :
         {"Error: file is null", "Error: file descriptor invalid", "Error: Unable to open file"}) {
        EXPECT_NE(log.find(message), std::string::npos) << message;
    }
}

TEST(QXFile, NumbersConvertInBothBases) {
    struct Case {
        uint64_t value;
        int base;
        const char* text;
    };
    const Case cases[] = {{0, 10, "0"},
                          {UINT64_MAX, 10, "18446744073709551615"},
                          {UINT64_MAX, 16, "ffffffffffffffff"},
                          {4096, 16, "1000"},
                          {10, 10, "10"}};
    for (const auto& c : cases) {
        char buffer[21];
        EXPECT_STREQ(QXFileUInt64ToString(c.value, c.base, buffer), c.text);
    }
}

}  // namespace
}  // namespace wv
