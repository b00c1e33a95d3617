#include <gtest/gtest.h>

#include <any>
#include <cstdint>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/plist/Value.h"
#include "sdk/crash/capture/QXException.h"
#include "sdk/crash/kit/QXUserLogging.h"
#include "sdk/crash/kit/tests/UserLoggingTestSupport.h"

namespace wv {
namespace {

using test::hex;
using test::LiveContext;
using test::LoggingLimits;

QXUserLoggingKVEntries userKeys() {
    return QXUserLoggingGetCompactedKVEntries(&qxContext->logging.userKVStorage, true).value();
}

QXUserLoggingKVEntries internalKeys() {
    return QXUserLoggingGetCompactedKVEntries(&qxContext->logging.internalKVStorage, true).value();
}

std::string key(int i) { return "key-" + std::to_string(1000 + i); }

TEST(UserLogging, DescriptionsAreTheBoxedValuesTexts) {
    Error error{"dom", 3, {}};
    const struct {
        std::any value;
        std::optional<std::string> text;
    } cases[] = {
        {std::string("text"), "text"},
        {"literal", "literal"},
        {std::optional<std::string>(), std::nullopt},
        {int32_t(-42), "-42"},
        {uint64_t(18446744073709551615u), "18446744073709551615"},
        {true, "1"},
        {false, "0"},
        {0.1f, "0.1"},
        {1.5, "1.5"},
        {error, error.description()},
        {plist::Value(int64_t(7)), "7"},
        {plist::Value(plist::Array{}), std::nullopt},
        {std::vector<int>{1}, std::nullopt},
        {std::any(), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(QXUserLoggingDescription(c.value), c.text);
}

TEST(UserLogging, AnyBytesInKeysAndValuesComeBackIntact) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"quote\"d", "say \"hi\""},
        {"new\nline", "a\nb\r\n"},
        {"bad-utf8", std::string("\xff\xfe\xc3", 3)},
        {std::string("nul\0key", 7), std::string("v\0w", 3)},
        {"emoji", "\xf0\x9f\x98\x80 and \\ backslash"},
        {"", "empty key"},
    };
    for (const auto& [k, v] : pairs) QXUserLoggingRecordUserKeyValue(k, v);
    QXUserLoggingKVEntries expected(pairs.begin(), pairs.end());
    EXPECT_EQ(userKeys(), expected);
    // The file itself stays parseable line by line.
    EXPECT_EQ(context.lines("user_incremental_kv.qxrecord", "kv").size(), pairs.size());

    // Still intact after they have been folded into the compacted file.
    for (int i = 0; i < 64 - int(pairs.size()); ++i) QXUserLoggingRecordUserKeyValue("new\nline", "a\nb\r\n");
    context.drain();
    EXPECT_FALSE(std::filesystem::exists(context / "user_incremental_kv.qxrecord"));
    EXPECT_EQ(userKeys(), expected);
}

TEST(UserLogging, NilRemovesAKeyThroughANullLine) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    QXUserLoggingRecordUserKeyValue("gone", std::string("soon"));
    QXUserLoggingRecordUserKeyValue("kept", 5);
    QXUserLoggingRecordUserKeyValue("gone", std::any());
    auto lines = context.lines("user_incremental_kv.qxrecord", "kv");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2]["key"], hex("gone"));
    EXPECT_TRUE(lines[2]["value"].is_null());
    EXPECT_EQ(userKeys(), (QXUserLoggingKVEntries{{"kept", "5"}}));

    // A removal survives compaction too.
    for (int i = 0; i < 61; ++i) QXUserLoggingRecordUserKeyValue("kept", i);
    context.drain();
    EXPECT_EQ(context.lines("user_compacted_kv.qxrecord", "kv").size(), 1u);
    EXPECT_EQ(userKeys(), (QXUserLoggingKVEntries{{"kept", "60"}}));
}

TEST(UserLogging, TheSixtyFourthWriteCompactsOneLinePerDistinctKey) {
    test::TempFolder folder;
    LiveContext context(folder.path(), {.maxCustomKeys = 100});
    for (int i = 0; i < 63; ++i) QXUserLoggingRecordUserKeyValue(key(i % 20), i);
    context.drain();
    EXPECT_EQ(context.lines("user_incremental_kv.qxrecord", "kv").size(), 63u);
    EXPECT_FALSE(std::filesystem::exists(context / "user_compacted_kv.qxrecord"));

    QXUserLoggingRecordUserKeyValue(key(0), std::string("last"));
    context.drain();
    EXPECT_FALSE(std::filesystem::exists(context / "user_incremental_kv.qxrecord"));
    auto compacted = context.lines("user_compacted_kv.qxrecord", "kv");
    ASSERT_EQ(compacted.size(), 20u);
    auto keys = userKeys();
    EXPECT_EQ(keys.size(), 20u);
    EXPECT_EQ(keys[key(0)], "last");
    EXPECT_EQ(keys[key(19)], "59");
    EXPECT_EQ(qxWritableContext->logging.userIncrementalCount, 0u);
    // Nothing of the compaction is left beside the files.
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();

    // Counting starts again: the next write opens a new incremental file.
    QXUserLoggingRecordUserKeyValue(key(50), 1);
    EXPECT_EQ(context.lines("user_incremental_kv.qxrecord", "kv").size(), 1u);
    EXPECT_EQ(userKeys().size(), 21u);
}

TEST(UserLogging, CompactionKeepsTheStoresCap) {
    const struct {
        bool user;
        size_t cap;
    } cases[] = {{true, 16}, {false, 32}};
    for (const auto& c : cases) {
        test::TempFolder folder;
        LiveContext context(folder.path(), {.maxCustomKeys = 16});
        for (int i = 0; i < 64; ++i) {
            if (c.user)
                QXUserLoggingRecordUserKeyValue(key(i), i);
            else
                QXUserLoggingRecordInternalKeyValue(key(i), i);
        }
        context.drain();
        const std::string prefix = c.user ? "user" : "internal";
        EXPECT_EQ(context.lines(prefix + "_compacted_kv.qxrecord", "kv").size(), c.cap);
        EXPECT_EQ((c.user ? userKeys() : internalKeys()).size(), c.cap);
        EXPECT_NE(context.sdkLog().find("Truncating KV set, which is above max " +
                                        std::to_string(c.cap)),
                  std::string::npos);
    }
}

TEST(UserLogging, InternalKeysStayApartFromCustomKeys) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    QXUserLoggingRecordInternalKeyValue(kQXUserIdentifierKey, std::string("user-7"));
    QXUserLoggingRecordUserKeyValue("custom", std::string("x"));
    EXPECT_EQ(internalKeys(), (QXUserLoggingKVEntries{{"com.quellix.user-id", "user-7"}}));
    EXPECT_EQ(userKeys(), (QXUserLoggingKVEntries{{"custom", "x"}}));
}

TEST(UserLogging, BadKeysAndValuePointersAreRefusedOrClamped) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    QXUserLoggingRecordUserKeyValue(std::nullopt, std::string("value"));
    EXPECT_FALSE(std::filesystem::exists(context / "user_incremental_kv.qxrecord"));
    EXPECT_NE(context.sdkLog().find("User provided bad key"), std::string::npos);

    QXUserLoggingRecordUserKeyValue("k", std::string("v"));
    QXUserLoggingRecordUserKeyValue("k", reinterpret_cast<const char*>(0x10));
    EXPECT_NE(context.sdkLog().find("Bad value pointer being clamped to nil"), std::string::npos);
    EXPECT_TRUE(userKeys().empty());
}

TEST(UserLogging, TornAndForeignKeyValueLinesAreDroppedAlone) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    test::writeFile(context / "user_compacted_kv.qxrecord",
                    "{\"kv\":{\"key\":\"" + hex("a") + "\",\"value\":\"" + hex("1") + "\"}}\n" +
                        "{\"kv\":{\"key\":\"" + hex("b") + "\",\"value\":null}}\n" +
                        "not json at all\n{\"other\":{}}\n[1,2]\n" +
                        "{\"kv\":{\"key\":\"" + hex("c") + "\",\"value\":\"" + hex("3"));
    test::writeFile(context / "user_incremental_kv.qxrecord",
                    "{\"kv\":{\"key\":\"" + hex("d") + "\",\"value\":\"" + hex("4") + "\"}}\n" +
                        "{\"kv\":{\"key\":17,\"value\":\"00\"}}\n" +
                        "{\"kv\":{\"key\":\"" + hex("a") + "\",\"val");
    EXPECT_EQ(userKeys(), (QXUserLoggingKVEntries{{"a", "1"}, {"d", "4"}}));
    const std::string log = context.sdkLog();
    EXPECT_NE(log.find("compacted key/value contains a nil and must be dropped"), std::string::npos);
    EXPECT_NE(log.find("incremental key/value contains a nil and must be dropped"),
              std::string::npos);

    // Writing goes on after the torn line, and compaction keeps what was readable.
    for (int i = 0; i < 64; ++i) QXUserLoggingRecordUserKeyValue("e", i);
    context.drain();
    EXPECT_EQ(userKeys(), (QXUserLoggingKVEntries{{"a", "1"}, {"d", "4"}, {"e", "63"}}));
}

TEST(UserLogging, ACompactionThatCannotWriteLosesNoKey) {
    test::TempFolder folder;
    LiveContext context(folder.path(), {.maxCustomKeys = 100});
    for (int i = 0; i < 64; ++i) QXUserLoggingRecordUserKeyValue(key(i % 10), i);
    context.drain();
    ASSERT_EQ(context.lines("user_compacted_kv.qxrecord", "kv").size(), 10u);
    // The new set cannot be written: what was compacted and what came after both stay.
    std::filesystem::create_directory(context / ".user_compacted_kv.qxrecord.new");
    for (int i = 0; i < 64; ++i) QXUserLoggingRecordUserKeyValue(key(10 + i % 5), i);
    context.drain();
    EXPECT_NE(context.sdkLog().find("Error: Unable to open compacted k-v file"), std::string::npos);
    EXPECT_EQ(context.lines("user_compacted_kv.qxrecord", "kv").size(), 10u);
    EXPECT_EQ(context.lines("user_incremental_kv.qxrecord", "kv").size(), 64u);
    auto keys = userKeys();
    EXPECT_EQ(keys.size(), 15u);
    EXPECT_EQ(keys[key(9)], "59");
    EXPECT_EQ(keys[key(13)], "63");
}

TEST(UserLogging, TenThousandCustomKeysStayWithinTheCap) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    for (int i = 0; i < 10000; ++i) QXUserLoggingRecordUserKeyValue("key-" + std::to_string(i), i);
    context.drain();
    EXPECT_EQ(context.lines("user_compacted_kv.qxrecord", "kv").size(), 16u);
    // 10,000 = 156 * 64 + 16: the last sixteen writes wait in the incremental file.
    EXPECT_EQ(context.lines("user_incremental_kv.qxrecord", "kv").size(), 16u);
    EXPECT_EQ(userKeys().size(), 32u);
}

TEST(UserLogging, KeysFromManyThreadsAreAllKept) {
    test::TempFolder folder;
    LiveContext context(folder.path(), {.maxCustomKeys = 1000});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                QXUserLoggingRecordUserKeyValue(std::to_string(t) + "-" + std::to_string(i), i);
        });
    for (auto& thread : threads) thread.join();
    context.drain();
    auto keys = userKeys();
    EXPECT_EQ(keys.size(), 400u);
    EXPECT_EQ(keys["3-99"], "99");
}

TEST(UserLogging, BeforeInitialisationLogsReachOnlyTheSystemLog) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    LogCapture log;
    {
        test::ScopedNoContext hidden;
        QXLog("early %d", 1);
        QXUserLoggingRecordUserKeyValue("k", std::string("v"));
        Error error{"d", 1, {}};
        QXUserLoggingRecordError(&error, std::nullopt);
    }
    EXPECT_TRUE(log.contains(
        "[Quellix:Crash] WARNING: QXLog has been used before (or concurrently with) Quellix "
        "initialization and cannot be recorded. The message was: \nearly 1"));
    context.drain();
    for (const char* name : {"log_a.qxrecord", "user_incremental_kv.qxrecord", "errors_a.qxrecord"})
        EXPECT_FALSE(std::filesystem::exists(context / name)) << name;
}

TEST(UserLogging, LogLinesCarryTheMessageAndMilliseconds) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    LogCapture log;
    const uint64_t before = uint64_t(time(nullptr)) * 1000;
    QXLog("%s=%d \"quoted\"\n", "count", 3);
    QXNSLog("also %s", "printed");
    const uint64_t after = (uint64_t(time(nullptr)) + 1) * 1000;
    auto lines = context.lines("log_a.qxrecord", "log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["msg"], hex("count=3 \"quoted\"\n"));
    EXPECT_EQ(lines[1]["msg"], hex("also printed"));
    const uint64_t at = lines[0]["time"].get<uint64_t>();
    EXPECT_GE(at, before);
    EXPECT_LT(at, after);
    EXPECT_EQ(log.lines(LogChannel::System), (std::vector<std::string>{"also printed"}));
}

TEST(UserLogging, ALongMessageIsCutToTheLogSizeWithAWarning) {
    const struct {
        std::string message;
        uint32_t size;
        std::string kept;
    } cases[] = {
        {std::string(250, 'x'), 100, std::string(100, 'x')},
        // A cut never splits a character: "é" is two bytes.
        {"a\xc3\xa9\xc3\xa9", 4, "a\xc3\xa9"},
        {std::string(1 << 20, 'm'), 65536, std::string(65536, 'm')},
    };
    for (const auto& c : cases) {
        test::TempFolder folder;
        LiveContext context(folder.path(), {.logBufferSize = c.size});
        LogCapture log;
        QXUserLoggingRecordLogMessage(c.message);
        const std::string max = std::to_string(c.size);
        EXPECT_TRUE(log.contains("WARNING: Attempted to write " + std::to_string(c.message.size()) +
                                 " bytes, but " + max + " is the maximum size of the log. " +
                                 "Truncating to " + max + " bytes."));
        auto lines = context.lines("log_a.qxrecord", "log");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["msg"], hex(c.kept));
    }
}

TEST(UserLogging, AFullLogFileHandsOverToTheOtherEmptiedFile) {
    test::TempFolder folder;
    // One line of a 60-character message is about 150 bytes: two lines pass 200.
    LiveContext context(folder.path(), {.logBufferSize = 200});
    auto messages = [&](const std::string& name) {
        std::vector<std::string> out;
        for (const auto& line : context.lines(name, "log"))
            out.push_back(*QXFileHexDecodeString(line["msg"].get<std::string>()));
        return out;
    };
    auto message = [](char c) { return std::string(60, c); };
    test::writeFile(context / "log_b.qxrecord", "stale from nowhere\n");
    QXLog("%s", message('1').c_str());
    QXLog("%s", message('2').c_str());
    context.drain();
    EXPECT_EQ(messages("log_a.qxrecord"), (std::vector{message('1'), message('2')}));
    EXPECT_FALSE(std::filesystem::exists(context / "log_b.qxrecord"));

    QXLog("%s", message('3').c_str());
    QXLog("%s", message('4').c_str());
    QXLog("%s", message('5').c_str());
    context.drain();
    // The just-filled B stays; A was emptied before the fifth message went in.
    EXPECT_EQ(messages("log_b.qxrecord"), (std::vector{message('3'), message('4')}));
    EXPECT_EQ(messages("log_a.qxrecord"), (std::vector{message('5')}));
}

TEST(UserLogging, ErrorsCarryDomainCodeStackAndBothDictionaries) {
    test::TempFolder folder;
    LiveContext context(folder.path());
    Error error{"my.domain \"q\"", -7,
                {{"NSLocalizedDescription", std::string("bad\nthing")},
                 {"count", 3},
                 {"opaque", std::vector<int>{1}}}};
    const uint64_t before = uint64_t(time(nullptr));
    QXUserLoggingRecordError(&error, QXUserInfo{{"screen", std::string("lesson")}});
    Error plain{"plain", 1, {}};
    QXUserLoggingRecordError(&plain, QXUserInfo{});
    QXUserLoggingRecordError(nullptr, std::nullopt);

    auto lines = context.lines("errors_a.qxrecord", "error");
    ASSERT_EQ(lines.size(), 2u);
    const auto& full = lines[0];
    EXPECT_EQ(full["domain"], hex("my.domain \"q\""));
    EXPECT_EQ(full["code"], -7);
    EXPECT_GE(full["time"].get<uint64_t>(), before);
    ASSERT_TRUE(full["stacktrace"].is_array());
    EXPECT_FALSE(full["stacktrace"].empty());
    for (const auto& address : full["stacktrace"]) EXPECT_TRUE(address.is_number_unsigned());
    using nlohmann::json;
    EXPECT_EQ(full["info"],
              json::array({json::array({hex("NSLocalizedDescription"), hex("bad\nthing")}),
                           json::array({hex("count"), hex("3")})}));
    EXPECT_EQ(full["extra_info"], json::array({json::array({hex("screen"), hex("lesson")})}));
    EXPECT_FALSE(lines[1].contains("info"));
    EXPECT_FALSE(lines[1].contains("extra_info"));
    EXPECT_EQ(qxWritableContext->logging.errorsCount, 2u);
}

TEST(UserLogging, ErrorsRotateByCountAndStopWhenErrorReportingIsOff) {
    {
        test::TempFolder folder;
        LiveContext context(folder.path(), {.maxCustomExceptions = 2});
        for (int code = 1; code <= 3; ++code) {
            Error error{"d", code, {}};
            QXUserLoggingRecordError(&error, std::nullopt);
        }
        context.drain();
        EXPECT_EQ(context.lines("errors_a.qxrecord", "error").size(), 2u);
        auto b = context.lines("errors_b.qxrecord", "error");
        ASSERT_EQ(b.size(), 1u);
        EXPECT_EQ(b[0]["code"], 3);
    }
    {
        test::TempFolder folder;
        LiveContext context(folder.path(), {.errorReportingEnabled = false});
        Error error{"d", 1, {}};
        QXUserLoggingRecordError(&error, std::nullopt);
        context.drain();
        EXPECT_FALSE(std::filesystem::exists(context / "errors_a.qxrecord"));
        EXPECT_FALSE(std::filesystem::exists(context / "errors_b.qxrecord"));
    }
}

TEST(UserLogging, CustomExceptionsGoToTheirOwnRotatingStore) {
    test::TempFolder folder;
    LiveContext context(folder.path(), {.maxCustomExceptions = 2});
    const QXStackFrame frames[] = {{0x1000, "f", 4, "lib", std::nullopt, 7, std::nullopt}};
    QXExceptionRecord(QXExceptionTypeCustom, "Name \"x\"", "reason\nline", frames, 1, false);
    QXExceptionRecord(QXExceptionTypeJavaScript, "TypeError", "", nullptr, 0, false);
    QXExceptionRecord(QXExceptionTypeCustom, "third", "r", nullptr, 0, false);
    context.drain();

    auto a = context.lines("custom_exception_a.qxrecord", "exception");
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0]["type"], "custom");
    EXPECT_EQ(a[0]["name"], hex("Name \"x\""));
    EXPECT_EQ(a[0]["reason"], hex("reason\nline"));
    ASSERT_EQ(a[0]["frames"].size(), 1u);
    EXPECT_EQ(a[0]["frames"][0]["pc"], 0x1000);
    EXPECT_EQ(a[1]["type"], "javascript");
    EXPECT_FALSE(a[1].contains("frames"));
    auto b = context.lines("custom_exception_b.qxrecord", "exception");
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0]["name"], hex("third"));
    // A non-fatal exception is no crash: no crash record, no thread sections.
    EXPECT_FALSE(std::filesystem::exists(context / "exception.qxrecord"));
    EXPECT_EQ(test::readFile(context / "custom_exception_a.qxrecord").find("threads"),
              std::string::npos);
}

}  // namespace
}  // namespace wv
