#include "platform/cloudkit/Container.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/FetchNotificationChangesOperation.h"
#include "platform/cloudkit/FetchRecordsOperation.h"
#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/KeyValueStore.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/cloudkit/QueryOperation.h"
#include "platform/cloudkit/tests/BackendMakers.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv::ck {
namespace {

constexpr const char* kType = "WVLessonStats";

// Containers of installations on one store, run against every backend the contract suite
// knows; the installations of a test share the main queue, pumped by hand.
class ContainerTest : public ::testing::TestWithParam<testing::BackendMaker> {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        root_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / name;
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        store_ = GetParam().freshStore(root_);
    }

    CloudConfiguration configuration(const std::string& installation,
                                     const std::string& account = "alice") {
        CloudConfiguration config;
        config.supportFolder = root_ / installation;
        config.account = account;
        GetParam().configure(config, store_);
        return config;
    }

    ContainerControl control() { return ContainerControl(GetParam().connect(store_)); }

    // Runs the main queue until `done` or a few seconds of real time have passed.
    bool pumpUntil(const std::function<bool()>& done, double seconds = 15) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            loop_.runUntilIdle();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        loop_.runUntilIdle();
        return done();
    }

    void pumpFor(double seconds) {
        pumpUntil([] { return false; }, seconds);
    }

    // Saves through the container and waits for the reply.
    std::optional<Error> save(Container& container, std::vector<Record> records) {
        auto op =
            std::make_shared<ModifyRecordsOperation>(std::move(records), std::vector<RecordID>{});
        bool done = false;
        std::optional<Error> error;
        op->setModifyRecordsCompletionBlock([&](const auto&, const auto&, const auto& e) {
            error = e;
            done = true;
        });
        container.privateCloudDatabase().addOperation(op);
        EXPECT_TRUE(pumpUntil([&] { return done; }));
        return error;
    }

    void subscribe(Container& container) {
        bool done = false;
        container.privateCloudDatabase().saveSubscription(
            Subscription(kType, Predicate::withValue(true), 3), [&](const auto&, const auto& e) {
                EXPECT_FALSE(e);
                done = true;
            });
        ASSERT_TRUE(pumpUntil([&] { return done; }));
    }

    std::filesystem::path root_;
    std::string store_;
    ManualRunLoop loop_;
};

TEST_P(ContainerTest, WithoutACloudThereIsNoAccountAndNothingOnDisk) {
    CloudConfiguration config;
    config.supportFolder = root_ / "support";
    Container container(config);
    std::optional<AccountStatus> status;
    container.accountStatusWithCompletionHandler([&](AccountStatus s, const auto&) { status = s; });
    std::optional<Error> error;
    auto op = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{Record(kType)},
                                                       std::vector<RecordID>{});
    op->setModifyRecordsCompletionBlock(
        [&](const auto&, const auto&, const auto& e) { error = e; });
    container.privateCloudDatabase().addOperation(op);
    KeyValueStore store(container);
    store.setObject(plist::Value(int64_t(3)), "config");
    EXPECT_FALSE(store.synchronize());
    ASSERT_TRUE(pumpUntil([&] { return status && error; }));
    EXPECT_EQ(*status, AccountStatus::NoAccount);
    EXPECT_EQ(container.accountStatus(), AccountStatus::NoAccount);
    EXPECT_EQ(error->code(), ErrorCode::NotAuthenticated);
    EXPECT_EQ(store.objectForKey("config"), plist::Value(int64_t(3)));
    EXPECT_TRUE(container.installationIdentifier().empty());
    EXPECT_FALSE(std::filesystem::exists(root_ / "support"));
}

// Each operation's blocks come once, in order, on the callback queue, and an operation
// starts only after the ones it depends on ended, also when they failed.
TEST_P(ContainerTest, CallbacksComeOnceAndInOrderAlsoAfterAFailure) {
    Container container(configuration("A"));
    ASSERT_FALSE(control().failNext("modify", 1, ErrorCode::ServiceUnavailable));
    std::vector<std::string> events;
    auto track = [&](const std::string& what) {
        EXPECT_TRUE(isMainThread()) << what;
        events.push_back(what);
    };
    auto first = std::make_shared<ModifyRecordsOperation>(
        std::vector<Record>{Record(kType), Record(kType)}, std::vector<RecordID>{});
    first->setPerRecordCompletionBlock(
        [&](const Record&, const auto& e) { track(e ? "first record failed" : "first record"); });
    first->setModifyRecordsCompletionBlock([&](const auto& saved, const auto&, const auto& e) {
        EXPECT_FALSE(saved);
        track(e ? "first failed" : "first done");
    });
    first->setCompletionBlock([&] { track("first block"); });
    auto second = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{Record(kType)},
                                                           std::vector<RecordID>{});
    second->setPerRecordCompletionBlock([&](const Record& r, const auto& e) {
        EXPECT_TRUE(r.recordChangeTag());
        track(e ? "second record failed" : "second record");
    });
    second->setModifyRecordsCompletionBlock([&](const auto& saved, const auto&, const auto& e) {
        EXPECT_EQ(saved->size(), 1u);
        track(e ? "second failed" : "second done");
    });
    second->setCompletionBlock([&] { track("second block"); });
    second->addDependency(first);
    container.privateCloudDatabase().addOperation(second);
    container.privateCloudDatabase().addOperation(first);
    ASSERT_TRUE(pumpUntil([&] { return events.size() >= 7; }));
    pumpFor(0.1);
    EXPECT_EQ(events, (std::vector<std::string>{"first record failed", "first record failed",
                                                "first failed", "first block", "second record",
                                                "second done", "second block"}));
}

TEST_P(ContainerTest, AQueryPagesThroughTheRecordsOfAnotherInstallation) {
    Container a(configuration("A"));
    Container b(configuration("B"));
    std::vector<Record> records;
    for (int i = 0; i < 5; ++i) {
        Record r(kType);
        r.setObject("localID", int64_t(i));
        records.push_back(r);
    }
    ASSERT_FALSE(save(a, records));
    ASSERT_FALSE(control().setPageSize(2));
    std::vector<int64_t> ids;
    std::optional<QueryCursor> cursor;
    int pages = 0;
    bool last = false;
    std::function<void(std::shared_ptr<QueryOperation>)> run =
        [&](std::shared_ptr<QueryOperation> op) {
            op->setRecordFetchedBlock(
                [&](const Record& r) { ids.push_back(*r.int64ForKey("localID")); });
            op->setQueryCompletionBlock([&](const auto& next, const auto& error) {
                EXPECT_FALSE(error);
                ++pages;
                if (next) {
                    run(std::make_shared<QueryOperation>(*next));
                } else {
                    last = true;
                }
            });
            b.privateCloudDatabase().addOperation(op);
        };
    run(std::make_shared<QueryOperation>(Query(kType, Predicate::withValue(true))));
    ASSERT_TRUE(pumpUntil([&] { return last; }));
    EXPECT_EQ(ids, (std::vector<int64_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(pages, 3);
}

TEST_P(ContainerTest, ASaveIsPushedToTheOtherInstallationOnly) {
    Container a(configuration("A"));
    Container b(configuration("B"));
    int pushesA = 0, pushesB = 0;
    a.registerForRemoteNotifications([&](const plist::Dictionary&) { ++pushesA; });
    b.registerForRemoteNotifications([&](const plist::Dictionary&) { ++pushesB; });
    subscribe(a);
    pumpFor(0.3);
    ASSERT_FALSE(save(a, {Record(kType), Record(kType)}));
    ASSERT_TRUE(pumpUntil([&] { return pushesB > 0; }));
    pumpFor(0.6);
    EXPECT_EQ(pushesB, 1);
    EXPECT_EQ(pushesA, 0);

    auto fetch = std::make_shared<FetchNotificationChangesOperation>();
    std::vector<RecordID> created;
    bool done = false;
    fetch->setNotificationChangedBlock(
        [&](const QueryNotification& n) { created.push_back(*n.recordID); });
    fetch->setFetchNotificationChangesCompletionBlock([&](const auto& token, const auto& error) {
        EXPECT_TRUE(token);
        EXPECT_FALSE(error);
        done = true;
    });
    b.addOperation(fetch);
    ASSERT_TRUE(pumpUntil([&] { return done; }));
    EXPECT_EQ(created.size(), 2u);
    EXPECT_FALSE(fetch->moreComing());

    auto records = std::make_shared<FetchRecordsOperation>(created);
    size_t found = 0;
    records->setFetchRecordsCompletionBlock([&](const auto& map, const auto& error) {
        EXPECT_FALSE(error);
        found = map ? map->size() : 0;
        done = false;
    });
    b.privateCloudDatabase().addOperation(records);
    ASSERT_TRUE(pumpUntil([&] { return !done; }));
    EXPECT_EQ(found, 2u);
}

TEST_P(ContainerTest, AChangedAccountStatusIsAnnounced) {
    Container a(configuration("A"));
    int announced = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        ContainerCore::kAccountChangedNotification, &a,
        [&](const wv::Notification&) { ++announced; });
    std::optional<AccountStatus> status;
    a.accountStatusWithCompletionHandler([&](AccountStatus s, const auto&) { status = s; });
    ASSERT_TRUE(pumpUntil([&] { return status.has_value(); }));
    EXPECT_EQ(*status, AccountStatus::Available);
    ASSERT_FALSE(control().setAccountStatus(a.installationIdentifier(), AccountStatus::NoAccount));
    ASSERT_TRUE(pumpUntil([&] { return announced == 1; }));
    EXPECT_EQ(a.accountStatus(), AccountStatus::NoAccount);
    status.reset();
    a.accountStatusWithCompletionHandler([&](AccountStatus s, const auto&) { status = s; });
    ASSERT_TRUE(pumpUntil([&] { return status.has_value(); }));
    EXPECT_EQ(*status, AccountStatus::NoAccount);
    EXPECT_EQ(announced, 1);
    NotificationCenter::defaultCenter().removeObserver(token);
}

// A value whose sending failed is not left for a synchronize() that may never come.
TEST_P(ContainerTest, AKeyValueWhoseExchangeFailedIsSentAgain) {
    Container a(configuration("A"));
    Container b(configuration("B"));
    KeyValueStore storeA(a);
    KeyValueStore storeB(b);
    std::vector<std::vector<std::string>> heardB;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        KeyValueStore::kDidChangeExternallyNotification, &storeB,
        [&](const wv::Notification& n) {
            heardB.push_back(std::any_cast<std::vector<std::string>>(
                n.userInfo.at(KeyValueStore::kChangedKeysKey)));
        });
    EXPECT_TRUE(storeB.synchronize());
    ASSERT_FALSE(control().failNext("key-value", 2, ErrorCode::ServiceUnavailable,
                                    a.installationIdentifier()));
    storeA.setObject(plist::Value(int64_t(3)), "level");
    EXPECT_TRUE(storeA.synchronize());
    ASSERT_TRUE(pumpUntil([&] { return !heardB.empty(); }));
    EXPECT_EQ(heardB[0], std::vector<std::string>{"level"});
    EXPECT_EQ(storeB.objectForKey("level"), plist::Value(int64_t(3)));
    NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_P(ContainerTest, KeyValuesReachTheOtherInstallationWithTheirReason) {
    Container a(configuration("A"));
    Container b(configuration("B"));
    KeyValueStore storeA(a);
    KeyValueStore storeB(b);
    std::vector<std::pair<int64_t, std::vector<std::string>>> heardA, heardB;
    auto listen = [](KeyValueStore& store, auto& heard) {
        return NotificationCenter::defaultCenter().addObserver(
            KeyValueStore::kDidChangeExternallyNotification, &store,
            [&heard](const wv::Notification& n) {
                heard.emplace_back(
                    std::any_cast<int64_t>(n.userInfo.at(KeyValueStore::kChangeReasonKey)),
                    std::any_cast<std::vector<std::string>>(
                        n.userInfo.at(KeyValueStore::kChangedKeysKey)));
            });
    };
    const auto ta = listen(storeA, heardA);
    const auto tb = listen(storeB, heardB);
    EXPECT_TRUE(storeB.synchronize());  // finds nothing: no reason 1 yet
    plist::Dictionary config;
    config.set("speedUnit", plist::Value(int64_t(1)));
    storeA.setObject(plist::Value(config), "config");
    EXPECT_EQ(storeA.dictionaryForKey("config"), config);
    EXPECT_TRUE(storeA.synchronize());
    ASSERT_TRUE(pumpUntil([&] { return !heardB.empty(); }));
    EXPECT_EQ(heardB[0], (std::pair<int64_t, std::vector<std::string>>{1, {"config"}}));
    EXPECT_EQ(storeB.dictionaryForKey("config"), config);

    config.set("speedUnit", plist::Value(int64_t(0)));
    storeA.setObject(plist::Value(config), "config");
    storeA.synchronize();
    ASSERT_TRUE(pumpUntil([&] { return heardB.size() == 2; }));
    EXPECT_EQ(heardB[1].first, KeyValueStore::ServerChange);
    EXPECT_EQ(storeB.dictionaryForKey("config"), config);
    pumpFor(0.4);
    EXPECT_TRUE(heardA.empty()) << "a writer never hears of its own writes";
    NotificationCenter::defaultCenter().removeObserver(ta);
    NotificationCenter::defaultCenter().removeObserver(tb);
}

// A container closed while its installation is held after a commit does not wait for the
// release; the commit stays.
TEST_P(ContainerTest, ClosingWhileHeldAfterACommitEndsTheWait) {
    auto a = std::make_unique<Container>(configuration("A"));
    const std::string installation = a->installationIdentifier();
    ASSERT_FALSE(control().hold(installation));
    auto op = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{Record(kType)},
                                                       std::vector<RecordID>{});
    a->privateCloudDatabase().addOperation(op);
    ASSERT_TRUE(pumpUntil([&] { return control().isHeld(installation); }));
    const auto start = std::chrono::steady_clock::now();
    a.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(control().inspect("records").rows.size(), 1u);
}

TEST(FolderContainerTest, AStoreThatIsNotOursFailsEveryCall) {
    ManualRunLoop loop;
    const auto root = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "not-ours";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "cloud");
    const auto file = FolderBackend::fileInFolder(root / "cloud",
                                                  CloudConfiguration::kDefaultContainerIdentifier);
    std::ofstream(file) << "not a database";
    CloudConfiguration config;
    config.supportFolder = root / "A";
    config.folder = root / "cloud";
    config.account = "alice";
    Container a(config);
    std::optional<Error> statusError, saveError;
    a.accountStatusWithCompletionHandler([&](AccountStatus s, const auto& e) {
        EXPECT_EQ(s, AccountStatus::CouldNotDetermine);
        statusError = e;
    });
    auto op = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{Record(kType)},
                                                       std::vector<RecordID>{});
    op->setModifyRecordsCompletionBlock(
        [&](const auto&, const auto&, const auto& e) { saveError = e; });
    a.privateCloudDatabase().addOperation(op);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!(statusError && saveError) && std::chrono::steady_clock::now() < deadline) {
        loop.runUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(statusError && saveError);
    EXPECT_EQ(saveError->code(), ErrorCode::BadContainer);
    EXPECT_NE(saveError->description().find(file.string()), std::string::npos);
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "not a database");
}

INSTANTIATE_TEST_SUITE_P(Backends, ContainerTest, ::testing::ValuesIn(testing::backendMakers()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace wv::ck
