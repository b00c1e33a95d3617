// Which record files make a folder worth sending or a crash, when it crashed, and what its
// metadata says, from the folder's contents alone.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/report/QXInternalReport.h"

namespace wv::test {
namespace {

using Date = QXInternalReport::Date;

Date at(uint64_t seconds) { return Date(std::chrono::seconds(seconds)); }

const std::string kMetadata =
    R"({"identity":{"api_key":"key-1","started_at":1700000000,"session_id":"run-7"}})"
    "\n"
    R"({"host":{"os_display_version":"12.4","os_build_version":"6.1.0-18-amd64"}})"
    "\n"
    R"({"application":{"build_version":"129","display_version":"3.10.1"}})"
    "\n"
    R"({"executable":{"uuid":"ab"}})"
    "\n";

struct FolderCase {
    const char* label;
    std::vector<std::string> files;
    bool submittable;
    bool crash;
};

// Names the case in test output, rather than its bytes.
void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.label; }

const FolderCase kFolderCases[] = {
    {"empty", {}, false, false},
    {"exception", {"exception.qxrecord"}, true, true},
    {"mach_exception", {"mach_exception.qxrecord"}, true, true},
    {"signal", {"signal.qxrecord"}, true, true},
    {"custom_exception_a", {"custom_exception_a.qxrecord"}, true, false},
    {"custom_exception_b", {"custom_exception_b.qxrecord"}, true, false},
    {"errors_a", {"errors_a.qxrecord"}, true, false},
    {"errors_b", {"errors_b.qxrecord"}, true, false},
    // What every run leaves behind does not make it worth sending.
    {"ordinary_records",
     {"metadata.qxrecord", "binary_images.qxrecord", "sdk.log", "log_a.qxrecord",
      "internal_incremental_kv.qxrecord", "user_compacted_kv.qxrecord",
      "signal.qxrecord.symbolicated"},
     false,
     false},
    {"errors_and_signal", {"errors_b.qxrecord", "signal.qxrecord"}, true, true},
};

class Folders : public ::testing::TestWithParam<FolderCase> {};

TEST_P(Folders, SubmittableAndCrashComeFromTheFilesPresent) {
    const FolderCase& c = GetParam();
    TempFolder folder;
    for (const auto& name : c.files) writeFile(folder / name, "");
    auto report = QXInternalReport::initWithPathExecutionIdentifier(folder.path(), "run");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->needsToBeSubmitted(), c.submittable);
    EXPECT_EQ(report->isCrash(), c.crash);
}

INSTANTIATE_TEST_SUITE_P(Report, Folders, ::testing::ValuesIn(kFolderCases),
                         [](const auto& info) { return std::string(info.param.label); });

struct CrashDateCase {
    const char* label;
    std::vector<std::pair<std::string, std::string>> files;
    std::optional<uint64_t> date;
};

// Names the case in test output, rather than its bytes.
void PrintTo(const CrashDateCase& c, std::ostream* os) { *os << c.label; }

const CrashDateCase kCrashDateCases[] = {
    {"mach_exception_wins",
     {{"mach_exception.qxrecord", R"({"mach_exception":{"time":1000}})"},
      {"signal.qxrecord", R"({"signal":{"time":2000}})"}},
     1000},
    {"signal_alone", {{"signal.qxrecord", R"({"signal":{"time":2000}})"}}, 2000},
    {"exception_alone_has_no_date",
     {{"exception.qxrecord", R"({"exception":{"time":3000}})"}},
     std::nullopt},
    {"not_a_crash", {{"errors_a.qxrecord", R"({"signal":{"time":2000}})"}}, std::nullopt},
    {"mach_exception_without_time_falls_back",
     {{"mach_exception.qxrecord", R"({"mach_exception":{"code":1}})"},
      {"signal.qxrecord", R"({"signal":{"time":2000}})"}},
     2000},
    {"torn_mach_exception_falls_back",
     {{"mach_exception.qxrecord", R"({"mach_exception":{"time":10)"},
      {"signal.qxrecord", R"({"signal":{"time":2000}})"}},
     2000},
    {"time_not_a_number", {{"signal.qxrecord", R"({"signal":{"time":"2000"}})"}}, std::nullopt},
    {"negative_time", {{"signal.qxrecord", R"({"signal":{"time":-5}})"}}, std::nullopt},
    {"time_beyond_the_clock",
     {{"signal.qxrecord", R"({"signal":{"time":18446744073709551615}})"}},
     std::nullopt},
    // Only the first line of the file is consulted.
    {"time_on_a_later_line",
     {{"signal.qxrecord", R"({"threads":[]})"
                          "\n"
                          R"({"signal":{"time":2000}})"}},
     std::nullopt},
    {"garbage_first",
     {{"signal.qxrecord",
       "garbage\n"
       R"({"signal":{"time":2000}})"}},
     2000},
};

class CrashDates : public ::testing::TestWithParam<CrashDateCase> {};

TEST_P(CrashDates, ComeFromTheMachExceptionThenTheSignalRecord) {
    const CrashDateCase& c = GetParam();
    TempFolder folder;
    for (const auto& [name, text] : c.files) writeFile(folder / name, text + "\n");
    auto report = QXInternalReport::initWithPathExecutionIdentifier(folder.path(), "run");
    ASSERT_TRUE(report);
    std::optional<Date> date = report->crashedOnDate();
    if (c.date) {
        ASSERT_TRUE(date);
        EXPECT_EQ(*date, at(*c.date));
    } else {
        EXPECT_FALSE(date);
    }
}

INSTANTIATE_TEST_SUITE_P(Report, CrashDates, ::testing::ValuesIn(kCrashDateCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(InternalReport, ReadsItsIdentifierAndFactsFromTheMetadata) {
    TempFolder folder;
    writeFile(folder / "metadata.qxrecord", kMetadata);
    auto report = QXInternalReport::reportWithPath(folder.path());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->identifier(), "run-7");
    EXPECT_EQ(report->APIKey(), "key-1");
    EXPECT_EQ(report->dateCreated(), at(1700000000));
    EXPECT_EQ(report->OSVersion(), "12.4");
    EXPECT_EQ(report->OSBuildVersion(), "6.1.0-18-amd64");
    EXPECT_EQ(report->bundleVersion(), "129");
    EXPECT_EQ(report->bundleShortVersionString(), "3.10.1");
    EXPECT_EQ(report->directoryName(), folder.path().filename().string());
    EXPECT_EQ(report->metadataPath(), folder / "metadata.qxrecord");
    EXPECT_EQ(report->binaryImagePath(), folder / "binary_images.qxrecord");
}

// Each spoils one fact or section and leaves the others readable.
TEST(InternalReport, AMissingOrMisshapenFactIsNoneAndTheOthersStay) {
    TempFolder folder;
    writeFile(folder / "metadata.qxrecord", R"({"identity":{"session_id":"run-7","api_key":5}})"
                                            "\n"
                                            R"({"host":{"os_display_version":"12.4"}})"
                                            "\n");
    auto report = QXInternalReport::reportWithPath(folder.path());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->APIKey(), std::nullopt);
    // No start time is no date at all, not the first second of 1970.
    EXPECT_EQ(report->dateCreated(), std::nullopt);
    EXPECT_EQ(report->OSVersion(), "12.4");
    EXPECT_EQ(report->OSBuildVersion(), std::nullopt);
    EXPECT_EQ(report->bundleVersion(), std::nullopt);
    EXPECT_EQ(report->bundleShortVersionString(), std::nullopt);
}

TEST(InternalReport, AStartTimeThatIsNoUnsignedNumberIsNoDate) {
    for (const char* value : {"\"1700000000\"", "-1", "17.5", "null", "{}"}) {
        TempFolder folder;
        writeFile(folder / "metadata.qxrecord",
                  std::string(R"({"identity":{"session_id":"s","started_at":)") + value + "}}\n");
        auto report = QXInternalReport::reportWithPath(folder.path());
        ASSERT_TRUE(report) << value;
        EXPECT_EQ(report->dateCreated(), std::nullopt) << value;
    }
}

struct UnreadableCase {
    const char* label;
    std::optional<std::string> metadata;  // none: no file
};

// Names the case in test output, rather than its bytes.
void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.label; }

const UnreadableCase kUnreadable[] = {
    {"missing", std::nullopt},
    {"empty", ""},
    {"garbage", "not a record\n"},
    {"torn", R"({"identity":{"session_id":"run)"},
    {"no_session_id", R"({"identity":{"api_key":"k"}})"
                      "\n"},
    {"session_id_not_text", R"({"identity":{"session_id":7}})"
                            "\n"},
    {"identity_not_first", R"({"host":{}})"
                           "\n"
                           R"({"identity":{"session_id":"run"}})"
                           "\n"},
};

class UnreadableMetadata : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableMetadata, GivesNoReportAndSaysWhere) {
    TempFolder folder;
    if (GetParam().metadata) writeFile(folder / "metadata.qxrecord", *GetParam().metadata);
    LogCapture log;
    EXPECT_FALSE(QXInternalReport::reportWithPath(folder.path()));
    EXPECT_TRUE(log.contains("[Quellix:Crash] Unable to read identifier at path " +
                             folder.path().string()));
}

INSTANTIATE_TEST_SUITE_P(Report, UnreadableMetadata, ::testing::ValuesIn(kUnreadable),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(InternalReport, TheCurrentRunsReportNeedsBothPathAndIdentifier) {
    EXPECT_FALSE(QXInternalReport::initWithPathExecutionIdentifier(std::nullopt, "run"));
    EXPECT_FALSE(QXInternalReport::initWithPathExecutionIdentifier("/tmp/x", std::nullopt));
    auto report = QXInternalReport::initWithPathExecutionIdentifier("/tmp/x", "run");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->identifier(), "run");
}

TEST(InternalReport, MetadataWrittenAfterCreationIsReadWhenItAppears) {
    TempFolder folder;
    auto report = QXInternalReport::initWithPathExecutionIdentifier(folder.path(), "run-7");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->APIKey(), std::nullopt);
    writeFile(folder / "metadata.qxrecord", kMetadata);
    EXPECT_EQ(report->APIKey(), "key-1");
}

TEST(InternalReport, AMovedFolderKeepsItsIdentifierAndTheMetadataAlreadyRead) {
    TempFolder from;
    TempFolder to;
    writeFile(from / "metadata.qxrecord", kMetadata);
    auto report = QXInternalReport::reportWithPath(from.path());
    ASSERT_TRUE(report);
    report->setPath(to.path());
    writeFile(to / "signal.qxrecord", "");
    EXPECT_EQ(report->identifier(), "run-7");
    EXPECT_EQ(report->bundleVersion(), "129");
    EXPECT_EQ(report->binaryImagePath(), to / "binary_images.qxrecord");
    EXPECT_TRUE(report->isCrash());
    EXPECT_EQ(report->directoryName(), to.path().filename().string());
}

TEST(InternalReport, EnumeratesTheThreeCrashFilesEvenInAnEmptyFolder) {
    TempFolder folder;
    auto report = QXInternalReport::initWithPathExecutionIdentifier(folder.path(), "run");
    ASSERT_TRUE(report);
    std::vector<std::filesystem::path> seen;
    report->enumerateSymbolicatableFilesInContent(
        [&](const std::filesystem::path& path) { seen.push_back(path); });
    EXPECT_EQ(seen, (std::vector<std::filesystem::path>{folder / "exception.qxrecord",
                                                        folder / "mach_exception.qxrecord",
                                                        folder / "signal.qxrecord"}));
}

TEST(InternalReport, HasNoCustomKeysEvenWithKeyValueFiles) {
    TempFolder folder;
    writeFile(folder / "metadata.qxrecord", kMetadata);
    writeFile(folder / "user_compacted_kv.qxrecord", R"({"kv":{"key":"6b","value":"76"}})"
                                                     "\n");
    writeFile(folder / "user_incremental_kv.qxrecord", R"({"kv":{"key":"6b","value":"76"}})"
                                                       "\n");
    auto report = QXInternalReport::reportWithPath(folder.path());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->customKeys(), std::nullopt);
}

TEST(InternalReport, ReadingARecordFileGivesItsWholeLinesOrNone) {
    TempFolder folder;
    writeFile(folder / "a.qxrecord", "{\"a\":1}\ngarbage\n{\"b\":2}\n{\"c\":");
    writeFile(folder / "empty.qxrecord", "");
    writeFile(folder / "garbage.qxrecord", "garbage\n");
    auto lines = QXInternalReport::readQXFileAtPath(folder / "a.qxrecord");
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (QXInternalReport::Sections{{{"a", 1}}, {{"b", 2}}}));
    EXPECT_FALSE(QXInternalReport::readQXFileAtPath(folder / "empty.qxrecord"));
    EXPECT_FALSE(QXInternalReport::readQXFileAtPath(folder / "garbage.qxrecord"));
    EXPECT_FALSE(QXInternalReport::readQXFileAtPath(folder / "missing.qxrecord"));
    EXPECT_FALSE(QXInternalReport::readQXFileAtPath(folder.path()));
    EXPECT_TRUE(std::filesystem::exists(folder / "garbage.qxrecord"));
}

}  // namespace
}  // namespace wv::test
