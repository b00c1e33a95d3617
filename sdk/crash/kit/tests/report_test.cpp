#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "sdk/crash/kit/QXReport.h"
#include "sdk/crash/kit/QXUserLogging.h"
#include "sdk/crash/kit/tests/UserLoggingTestSupport.h"
#include "sdk/crash/report/QXPackageReportOperation.h"
#include "sdk/crash/report/tests/UploadTestSupport.h"

namespace wv {
namespace {

using test::hex;
using test::LiveContext;

// An earlier run's folder: metadata and whatever else the test writes into it.
std::shared_ptr<QXInternalReport> earlierRun(const std::filesystem::path& folder,
                                             const std::string& identifier = "EARLIER") {
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "metadata.qxrecord",
                    nlohmann::json{{"identity", {{"session_id", identifier},
                                                 {"started_at", 1700000000}}}}
                            .dump() +
                        "\n" + nlohmann::json{{"host", {{"os_display_version", "12.5"}}}}.dump() +
                        "\n" +
                        nlohmann::json{{"application", {{"build_version", "41"}}}}.dump() + "\n");
    return QXInternalReport::reportWithPath(folder);
}

void writeUserKey(const std::filesystem::path& folder, const std::string& key,
                  const std::string& value) {
    std::ofstream(folder / "user_incremental_kv.qxrecord", std::ios::app)
        << nlohmann::json{{"kv", {{"key", hex(key)}, {"value", hex(value)}}}}.dump() << "\n";
}

TEST(Report, APrefetchedReportIsFrozen) {
    test::TempFolder folder;
    LiveContext context(folder / "current");
    auto internal = earlierRun(folder / "earlier");
    writeUserKey(folder / "earlier", "a", "1");
    test::writeFile(folder / "earlier" / "signal.qxrecord",
                    "{\"signal\":{\"number\":11,\"time\":1700000100}}\n");
    auto report = QXReport::initWithInternalReport(internal, true);
    EXPECT_TRUE(report->readOnly());
    EXPECT_FALSE(report->canRecordNewValues());

    const std::string before = test::readFile(folder / "earlier" / "user_incremental_kv.qxrecord");
    report->setObjectValue(std::string("2"), std::string("b"));
    report->setUserIdentifier(std::string("u"));
    context.drain();
    EXPECT_EQ(test::readFile(folder / "earlier" / "user_incremental_kv.qxrecord"), before);
    EXPECT_FALSE(std::filesystem::exists(folder / "earlier" / "internal_incremental_kv.qxrecord"));

    // Later changes to the folder do not reach what was taken at creation.
    writeUserKey(folder / "earlier", "c", "3");
    std::filesystem::remove(folder / "earlier" / "signal.qxrecord");
    EXPECT_EQ(report->customKeys(), (QXCrashReport::CustomKeys{{"a", "1"}}));
    EXPECT_TRUE(report->isCrash());
    EXPECT_EQ(report->identifier(), "EARLIER");
    EXPECT_EQ(report->OSVersion(), "12.5");
    EXPECT_EQ(report->bundleVersion(), "41");
    EXPECT_EQ(report->crashedOnDate(),
              QXCrashReport::Date(std::chrono::seconds(1700000100)));
    EXPECT_EQ(report->dateCreated(), QXCrashReport::Date(std::chrono::seconds(1700000000)));
}

TEST(Report, ALazyReportReadsOnFirstUseAndAsksAgainAfterNone) {
    test::TempFolder folder;
    LiveContext context(folder / "current");
    const auto dir = folder / "earlier";
    std::filesystem::create_directories(dir);
    auto internal = QXInternalReport::initWithPathExecutionIdentifier(dir, "EARLIER");
    auto lazy = QXReport::initWithInternalReport(internal);
    auto frozen = QXReport::initWithInternalReport(internal, true);
    EXPECT_FALSE(lazy->readOnly());
    EXPECT_EQ(lazy->bundleVersion(), std::nullopt);

    earlierRun(dir);
    writeUserKey(dir, "k", "v");
    EXPECT_EQ(lazy->bundleVersion(), "41");
    EXPECT_EQ(lazy->customKeys(), (QXCrashReport::CustomKeys{{"k", "v"}}));
    EXPECT_EQ(frozen->bundleVersion(), std::nullopt);
    EXPECT_TRUE(frozen->customKeys().empty());
}

TEST(Report, CustomKeysAndIdentityGoIntoTheEarlierFolderWithThisRunsLimits) {
    test::TempFolder folder;
    LiveContext context(folder / "current", {.maxCustomKeys = 4});
    const auto dir = folder / "earlier";
    auto report = QXReport::initWithInternalReport(earlierRun(dir));
    ASSERT_TRUE(report->canRecordNewValues());

    report->setObjectValue(std::string("say \"hi\"\n"), std::string("greeting"));
    report->setObjectValue(3, std::string("count"));
    report->setObjectValue(std::any(), std::string("count"));
    EXPECT_EQ(report->customKeys(), (QXCrashReport::CustomKeys{{"greeting", "say \"hi\"\n"}}));

    report->setUserIdentifier(std::string("user-1"));
    report->setUserName(std::string("Ann"));
    report->setUserEmail(std::string("ann@example.org"));
    EXPECT_EQ(report->userIdentifier(), std::nullopt);
    EXPECT_EQ(report->userName(), std::nullopt);
    EXPECT_EQ(report->userEmail(), std::nullopt);
    const QXUserLoggingKVStorage internal = report->internalKVStorage();
    EXPECT_EQ(QXUserLoggingGetCompactedKVEntries(&internal, true),
              (QXUserLoggingKVEntries{{"com.quellix.user-email", "ann@example.org"},
                                      {"com.quellix.user-id", "user-1"},
                                      {"com.quellix.user-name", "Ann"}}));

    // The current run's files are untouched, and its cap of four holds for the earlier folder.
    EXPECT_FALSE(std::filesystem::exists(context / "user_incremental_kv.qxrecord"));
    for (int i = 0; i < 61; ++i) report->setObjectValue(i, "key-" + std::to_string(10 + i));
    context.drain();
    EXPECT_EQ(context.lines("user_compacted_kv.qxrecord", "kv").size(), 0u);
    const std::string compacted = test::readFile(dir / "user_compacted_kv.qxrecord");
    EXPECT_EQ(std::count(compacted.begin(), compacted.end(), '\n'), 4);
    EXPECT_EQ(report->customKeys().size(), 4u);
}

TEST(Report, NothingIsRecordedWithoutAContext) {
    test::TempFolder folder;
    LiveContext context(folder / "current");
    const auto dir = folder / "earlier";
    auto report = QXReport::initWithInternalReport(earlierRun(dir));
    test::ScopedNoContext hidden;
    EXPECT_FALSE(report->canRecordNewValues());
    report->setObjectValue(std::string("v"), std::string("k"));
    EXPECT_FALSE(std::filesystem::exists(dir / "user_incremental_kv.qxrecord"));
}

TEST(Report, WhatARunLogsIsReadBackAndPackagedAtTheNextLaunch) {
    test::ReportTree tree;
    const auto dir = tree.fileManager->activePath() / "run-7";
    {
        LiveContext context(dir, {}, "run-7");
        QXUserLoggingRecordUserKeyValue("plan", std::string("pro\n\"annual\""));
        QXUserLoggingRecordInternalKeyValue(kQXUserIdentifierKey, std::string("u-1"));
        QXLog("opened %s", "lesson");
        Error error{"net", 5, {}};
        QXUserLoggingRecordError(&error, std::nullopt);
        context.drain();
    }
    auto internal = QXInternalReport::reportWithPath(dir);
    ASSERT_TRUE(internal);
    EXPECT_EQ(internal->identifier(), "run-7");
    EXPECT_EQ(internal->APIKey(), "API-KEY-1");
    EXPECT_TRUE(internal->needsToBeSubmitted());
    EXPECT_FALSE(internal->isCrash());
    auto report = QXReport::initWithInternalReport(internal, true);
    EXPECT_EQ(report->customKeys(), (QXCrashReport::CustomKeys{{"plan", "pro\n\"annual\""}}));

    QXPackageReportOperation operation(internal, tree.fileManager);
    operation.start();
    ASSERT_TRUE(operation.finalPath());
    const auto body = test::readFile(*operation.finalPath());
    std::map<std::string, std::string> parts;
    for (const auto& part : test::partsOf(body, operation.finalPath()->stem().string()))
        parts[part.name] = part.content;
    for (const char* name : {"user_incremental_kv.qxrecord", "internal_incremental_kv.qxrecord",
                             "log_a.qxrecord", "errors_a.qxrecord"})
        ASSERT_TRUE(parts.count(name)) << name;
    EXPECT_EQ(test::gunzip(parts["log_a.qxrecord"]), test::readFile(dir / "log_a.qxrecord"));
    auto logLine = nlohmann::json::parse(test::gunzip(parts["log_a.qxrecord"]));
    EXPECT_EQ(logLine["log"]["msg"], hex("opened lesson"));
    auto errorLine = nlohmann::json::parse(test::gunzip(parts["errors_a.qxrecord"]));
    EXPECT_EQ(errorLine["error"]["code"], 5);
}

}  // namespace
}  // namespace wv
