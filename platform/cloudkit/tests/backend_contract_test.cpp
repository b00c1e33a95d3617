// What every backend must do, run against each one the tests know (see BackendMakers).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/tests/BackendMakers.h"

namespace wv::ck {
namespace {

using testing::BackendMaker;

const Caller kA{"install-A", "alice"};
const Caller kB{"install-B", "alice"};
const Caller kOther{"install-C", "bob"};
constexpr const char* kType = "WVLessonStats";

Record lesson(int64_t localID, const std::string& time = "2024-05-01 10:00:00") {
    Record record(kType);
    record.setObject("localID", localID);
    record.setObject("localTime", time);
    record.setObject("time", 12.5);
    record.setObject("hasCapitals", int64_t(0));
    record.setObject("diffAuto", int64_t(1));
    return record;
}

std::vector<Record> lessons(int count, int64_t first = 1) {
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) records.push_back(lesson(first + i));
    return records;
}

class BackendContract : public ::testing::TestWithParam<BackendMaker> {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        scratch_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / name;
        std::filesystem::create_directories(scratch_);
        store_ = GetParam().freshStore(scratch_);
        a_ = connect();
        b_ = connect();
    }

    std::unique_ptr<Backend> connect() {
        auto backend = GetParam().connect(store_);
        EXPECT_FALSE(backend->open().has_value());
        return backend;
    }

    ContainerControl control() { return ContainerControl(connect()); }

    void subscribe(Backend& backend, const Caller& caller, int options = 3) {
        Subscription sub(kType, Predicate::withValue(true), options);
        ASSERT_FALSE(backend.saveSubscription(caller, Scope::Private, sub).error);
    }

    std::vector<Record> queryAll(Backend& backend, const Caller& caller, int64_t limit = 0,
                                 std::vector<size_t>* pageSizes = nullptr) {
        std::vector<Record> all;
        std::optional<QueryCursor> cursor;
        std::optional<Query> query = Query(kType, Predicate::withValue(true));
        for (int guard = 0; guard < 10000; ++guard) {
            QueryPage page =
                backend.query(caller, Scope::Private, cursor ? std::nullopt : query, cursor, limit);
            EXPECT_FALSE(page.error) << page.error->description();
            if (pageSizes) pageSizes->push_back(page.records.size());
            all.insert(all.end(), page.records.begin(), page.records.end());
            if (!page.cursor) break;
            cursor = page.cursor;
        }
        return all;
    }

    std::filesystem::path scratch_;
    std::string store_;
    std::unique_ptr<Backend> a_;
    std::unique_ptr<Backend> b_;
};

TEST_P(BackendContract, SavedFieldsComeBackWithTheirTypes) {
    Record record(kType);
    record.setObject("speed", int64_t(312));
    record.setObject("flag", int64_t(1));
    record.setObject("time", 41.25);
    record.setObject("whole", 3.0);
    record.setObject("text", std::string("äé \"quoted\"\ta tab\na line\r\\back\\slash"));
    record.setObject("escape", std::string("\\N"));  // a value, not a missing one
    record.setObject("empty", std::string());
    ModifyResult saved = a_->modifyRecords(kA, Scope::Private, {record}, {});
    ASSERT_FALSE(saved.error);
    ASSERT_EQ(saved.saved.size(), 1u);
    EXPECT_TRUE(saved.saved[0].recordChangeTag().has_value());

    FetchResult fetched = b_->fetchRecords(kB, Scope::Private, {record.recordID()});
    ASSERT_FALSE(fetched.error);
    ASSERT_TRUE(fetched.items.at(0).record);
    const Record& back = *fetched.items[0].record;
    EXPECT_TRUE(back.sameContent(record));
    EXPECT_EQ(back.allKeys(), record.allKeys());
    EXPECT_EQ(back.int64ForKey("flag"), 1);
    EXPECT_FALSE(back.doubleForKey("flag"));
    EXPECT_EQ(back.doubleForKey("whole"), 3.0);
    EXPECT_FALSE(back.int64ForKey("whole"));
    EXPECT_EQ(back.recordChangeTag(), saved.saved[0].recordChangeTag());
}

// How a save of a name that exists is judged, by the change tag it carries.
TEST_P(BackendContract, ExistingNamesNeedTheirChangeTag) {
    struct Case {
        const char* what;
        int tag;  // 0 none, 1 the current one, 2 an earlier one
        bool saved;
    };
    const Case cases[] = {
        {"without a tag (a repeat after a lost reply)", 0, false},
        {"with the current tag", 1, true},
        {"with an earlier tag", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Record first = lesson(7);
        ModifyResult one = a_->modifyRecords(kA, Scope::Private, {first}, {});
        ASSERT_FALSE(one.error);
        Record current = one.saved.at(0);
        current.setObject("speed", int64_t(5));
        ModifyResult two = a_->modifyRecords(kA, Scope::Private, {current}, {});
        ASSERT_FALSE(two.error);

        Record again = first;
        again.setObject("speed", int64_t(99));
        if (c.tag == 0) again.setRecordChangeTag(std::nullopt);
        if (c.tag == 1) again.setRecordChangeTag(two.saved.at(0).recordChangeTag());
        if (c.tag == 2) again.setRecordChangeTag(one.saved.at(0).recordChangeTag());
        ModifyResult result = b_->modifyRecords(kB, Scope::Private, {again}, {});
        if (c.saved) {
            EXPECT_FALSE(result.error);
            EXPECT_EQ(result.saved.size(), 1u);
            EXPECT_NE(result.saved.at(0).recordChangeTag(), two.saved.at(0).recordChangeTag());
        } else {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->code(), ErrorCode::PartialFailure);
            ASSERT_EQ(result.error->partialErrors.size(), 1u);
            const Error& item = result.error->partialErrors[0];
            EXPECT_EQ(item.code(), ErrorCode::ServerRecordChanged);
            EXPECT_EQ(item.recordID, first.recordID());
            ASSERT_TRUE(item.serverRecord);
            EXPECT_EQ(item.serverRecord->int64ForKey("speed"), 5);
            EXPECT_TRUE(result.saved.empty());
        }
        const FetchResult now = a_->fetchRecords(kA, Scope::Private, {first.recordID()});
        EXPECT_EQ(now.items.at(0).record->int64ForKey("speed"), c.saved ? 99 : 5);
    }
}

TEST_P(BackendContract, OneRequestSavesAtMost400Records) {
    struct Case {
        int records;
        bool accepted;
    };
    for (const Case c : {Case{400, true}, Case{401, false}}) {
        SCOPED_TRACE(c.records);
        const auto before = queryAll(*b_, kB).size();
        ModifyResult result = a_->modifyRecords(kA, Scope::Private, lessons(c.records), {});
        EXPECT_EQ(result.error.has_value(), !c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(result.error->code(), ErrorCode::LimitExceeded);
            EXPECT_EQ(result.error->description().rfind("limit exceeded", 0), 0u);
        }
        EXPECT_EQ(queryAll(*b_, kB).size(), before + (c.accepted ? c.records : 0));
    }
}

TEST_P(BackendContract, AFailedRecordLeavesTheRestSaved) {
    auto records = lessons(5);
    ASSERT_FALSE(
        control().failRecord(records[2].recordID().recordName(), 1, ErrorCode::ServiceUnavailable));
    ModifyResult result = a_->modifyRecords(kA, Scope::Private, records, {});
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), ErrorCode::PartialFailure);
    ASSERT_EQ(result.error->partialErrors.size(), 1u);
    EXPECT_EQ(result.error->partialErrors[0].recordID, records[2].recordID());
    EXPECT_EQ(result.error->partialErrors[0].code(), ErrorCode::ServiceUnavailable);
    EXPECT_EQ(result.saved.size(), 4u);
    std::set<std::string> names;
    for (const auto& r : queryAll(*b_, kB)) names.insert(r.recordID().recordName());
    EXPECT_EQ(names.size(), 4u);
    EXPECT_FALSE(names.count(records[2].recordID().recordName()));
    // The fault was for one save: the record goes up the next time.
    EXPECT_FALSE(a_->modifyRecords(kA, Scope::Private, {records[2]}, {}).error);
}

TEST_P(BackendContract, QueriesPageInTheServersOrder) {
    struct Case {
        const char* what;
        QueryOrder order;
        uint64_t seed;
        int64_t pageSize;
        int64_t limit;
        std::vector<size_t> pages;
    };
    const Case cases[] = {
        {"creation, server pages", QueryOrder::Creation, 1, 4, 0, {4, 4, 2}},
        {"creation, caller's limit", QueryOrder::Creation, 1, 4, 3, {3, 3, 3, 1}},
        {"reversed", QueryOrder::Reversed, 1, 5, 0, {5, 5}},
        {"random", QueryOrder::Random, 42, 3, 0, {3, 3, 3, 1}},
        {"one page", QueryOrder::Creation, 1, 10, 0, {10}},
    };
    const auto records = lessons(10);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, records, {}).error);
    std::vector<std::string> created;
    for (const auto& r : records) created.push_back(r.recordID().recordName());
    std::vector<std::string> firstRandom;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto ctl = control();
        ASSERT_FALSE(ctl.setPageSize(c.pageSize));
        ASSERT_FALSE(ctl.setOrder(c.order, c.seed));
        std::vector<size_t> pages;
        std::vector<std::string> names;
        for (const auto& r : queryAll(*b_, kB, c.limit, &pages))
            names.push_back(r.recordID().recordName());
        EXPECT_EQ(pages, c.pages);
        auto sorted = names;
        auto expected = created;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected) << "each record once";
        if (c.order == QueryOrder::Creation) EXPECT_EQ(names, created);
        if (c.order == QueryOrder::Reversed) {
            EXPECT_EQ(names, std::vector<std::string>(created.rbegin(), created.rend()));
        }
        if (c.order == QueryOrder::Random) {
            EXPECT_NE(names, created);
            // The same seed gives the same order.
            std::vector<std::string> again;
            for (const auto& r : queryAll(*b_, kB)) again.push_back(r.recordID().recordName());
            EXPECT_EQ(again, names);
        }
    }
}

TEST_P(BackendContract, APagedRunSeesTheRecordsOfItsFirstPage) {
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(6), {}).error);
    ASSERT_FALSE(control().setPageSize(2));
    QueryPage first =
        b_->query(kB, Scope::Private, Query(kType, Predicate::withValue(true)), std::nullopt, 0);
    ASSERT_TRUE(first.cursor);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(3, 100), {}).error);
    size_t total = first.records.size();
    std::optional<QueryCursor> cursor = first.cursor;
    while (cursor) {
        QueryPage page = b_->query(kB, Scope::Private, std::nullopt, cursor, 0);
        ASSERT_FALSE(page.error);
        total += page.records.size();
        cursor = page.cursor;
    }
    EXPECT_EQ(total, 6u);
    EXPECT_EQ(queryAll(*b_, kB).size(), 9u);
}

TEST_P(BackendContract, AFalsePredicateOrAnotherTypeMatchesNothing) {
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(3), {}).error);
    QueryPage none =
        b_->query(kB, Scope::Private, Query(kType, Predicate::withValue(false)), std::nullopt, 0);
    EXPECT_FALSE(none.error);
    EXPECT_TRUE(none.records.empty());
    EXPECT_FALSE(none.cursor);
    QueryPage other =
        b_->query(kB, Scope::Private, Query("Other", Predicate::withValue(true)), std::nullopt, 0);
    EXPECT_TRUE(other.records.empty());
}

TEST_P(BackendContract, PrivateDataBelongsToOneAccount) {
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(2), {}).error);
    EXPECT_TRUE(queryAll(*b_, kOther).empty());
    Record shared = lesson(1);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Public, {shared}, {}).error);
    QueryPage page =
        b_->query(kOther, Scope::Public, Query(kType, Predicate::withValue(true)), std::nullopt, 0);
    ASSERT_EQ(page.records.size(), 1u);
    const FetchResult theirs = b_->fetchRecords(kOther, Scope::Private, {shared.recordID()});
    ASSERT_TRUE(theirs.error);
    EXPECT_EQ(theirs.items.at(0).error->code(), ErrorCode::UnknownItem);
}

TEST_P(BackendContract, CursorsAndTokensOfAnotherAccountAreRefused) {
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(4), {}).error);
    ASSERT_FALSE(control().setPageSize(2));
    QueryPage page =
        a_->query(kA, Scope::Private, Query(kType, Predicate::withValue(true)), std::nullopt, 0);
    ASSERT_TRUE(page.cursor);
    QueryPage stolen = b_->query(kOther, Scope::Private, std::nullopt, page.cursor, 0);
    ASSERT_TRUE(stolen.error);
    EXPECT_EQ(stolen.error->code(), ErrorCode::InvalidArguments);
    NotificationPage mine = a_->fetchNotificationChanges(kA, std::nullopt, 0);
    ASSERT_TRUE(mine.token);
    NotificationPage theirs = b_->fetchNotificationChanges(kOther, mine.token, 0);
    ASSERT_TRUE(theirs.error);
    EXPECT_EQ(theirs.error->code(), ErrorCode::InvalidArguments);
}

// The controls of one installation, seen by every call it makes.
TEST_P(BackendContract, InstallationControlsDecideWhatItMayDo) {
    struct Case {
        const char* what;
        std::optional<AccountStatus> status;
        bool networkDown;
        Caller caller;
        AccountStatus expected;
        std::optional<ErrorCode> modifyError;
    };
    const Case cases[] = {
        {"as the account says", std::nullopt, false, kA, AccountStatus::Available, std::nullopt},
        {"restricted", AccountStatus::Restricted, false, kA, AccountStatus::Restricted,
         ErrorCode::NotAuthenticated},
        {"signed out", AccountStatus::NoAccount, false, kA, AccountStatus::NoAccount,
         ErrorCode::NotAuthenticated},
        {"network down", std::nullopt, true, kA, AccountStatus::CouldNotDetermine,
         ErrorCode::NetworkUnavailable},
        {"no account name", std::nullopt, false, Caller{"install-A", ""}, AccountStatus::NoAccount,
         ErrorCode::NotAuthenticated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto ctl = control();
        ASSERT_FALSE(ctl.setAccountStatus(c.caller.installation, c.status));
        ASSERT_FALSE(ctl.setNetworkDown(c.caller.installation, c.networkDown));
        const AccountResult account = a_->accountStatus(c.caller);
        EXPECT_EQ(account.status, c.expected);
        const ModifyResult modify = a_->modifyRecords(c.caller, Scope::Private, lessons(1), {});
        EXPECT_EQ(modify.error ? std::optional(modify.error->code()) : std::nullopt, c.modifyError);
        const NotificationPage notes = a_->fetchNotificationChanges(c.caller, std::nullopt, 0);
        EXPECT_EQ(notes.error ? std::optional(notes.error->code()) : std::nullopt, c.modifyError);
        // Another installation of the account is not affected.
        EXPECT_EQ(b_->accountStatus(kB).status, AccountStatus::Available);
    }
}

TEST_P(BackendContract, ArmedFaultsFailTheNextCallsOfTheirKind) {
    auto ctl = control();
    ASSERT_FALSE(ctl.failNext("query", 2, ErrorCode::NetworkFailure, kB.installation));
    ASSERT_FALSE(ctl.failNext("modify", 1, ErrorCode::ServiceUnavailable));
    const Query query(kType, Predicate::withValue(true));
    // Another installation's queries are not touched by B's fault.
    EXPECT_FALSE(a_->query(kA, Scope::Private, query, std::nullopt, 0).error);
    for (int i = 0; i < 2; ++i) {
        QueryPage page = b_->query(kB, Scope::Private, query, std::nullopt, 0);
        ASSERT_TRUE(page.error);
        EXPECT_EQ(page.error->code(), ErrorCode::NetworkFailure);
    }
    EXPECT_FALSE(b_->query(kB, Scope::Private, query, std::nullopt, 0).error);
    const ModifyResult failed = b_->modifyRecords(kB, Scope::Private, lessons(2), {});
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->code(), ErrorCode::ServiceUnavailable);
    EXPECT_TRUE(queryAll(*a_, kA).empty());
    EXPECT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(2), {}).error);
    EXPECT_TRUE(ctl.failNext("nonsense", 1, ErrorCode::InternalError))
        << "an unknown kind is refused";
}

TEST_P(BackendContract, SubscriptionsAreKeptPerAccount) {
    EXPECT_TRUE(a_->fetchAllSubscriptions(kA, Scope::Private).subscriptions.empty());
    Subscription sub(kType, Predicate::withValue(true), 3);
    sub.setNotificationInfo({true, ""});
    SubscriptionResult saved = a_->saveSubscription(kA, Scope::Private, sub);
    ASSERT_FALSE(saved.error);
    const auto found = b_->fetchAllSubscriptions(kB, Scope::Private).subscriptions;
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], sub);
    EXPECT_TRUE(b_->fetchAllSubscriptions(kOther, Scope::Private).subscriptions.empty());
}

// Which saves and deletes add a notification, by the subscription's options.
TEST_P(BackendContract, SavesMatchingASubscriptionAddNotifications) {
    struct Case {
        int options;
        std::vector<int> reasons;  // for a create, an update and a delete
    };
    const Case cases[] = {
        {3, {1, 2}},
        {1, {1}},
        {2, {2}},
        {7, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const Caller caller{"install-A", "account-" + std::to_string(c.options)};
        subscribe(*a_, caller, c.options);
        Record record = lesson(1);
        ModifyResult created = a_->modifyRecords(caller, Scope::Private, {record}, {});
        ASSERT_FALSE(created.error);
        ASSERT_FALSE(a_->modifyRecords(caller, Scope::Private, {created.saved.at(0)}, {}).error);
        Record other(std::string("Other"));
        ASSERT_FALSE(a_->modifyRecords(caller, Scope::Private, {other}, {}).error);
        ASSERT_FALSE(a_->modifyRecords(caller, Scope::Private, {}, {record.recordID()}).error);
        NotificationPage page =
            b_->fetchNotificationChanges(Caller{"install-B", caller.account}, std::nullopt, 0);
        ASSERT_FALSE(page.error);
        std::vector<int> reasons;
        for (const auto& n : page.notifications) {
            EXPECT_TRUE(n.isQueryNotification());
            EXPECT_EQ(n.recordID, record.recordID());
            reasons.push_back(n.queryNotificationReason);
        }
        EXPECT_EQ(reasons, c.reasons);
    }
}

TEST_P(BackendContract, NotificationFetchesContinueFromTheirToken) {
    subscribe(*a_, kA);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(7), {}).error);
    ASSERT_FALSE(control().setNotificationLimit(3));
    struct Step {
        int64_t limit;
        size_t delivered;
        bool moreComing;
    };
    const Step steps[] = {{0, 3, true}, {2, 2, true}, {0, 2, false}, {0, 0, false}};
    std::optional<ServerChangeToken> token;
    std::set<std::string> seen;
    for (const Step& s : steps) {
        NotificationPage page = b_->fetchNotificationChanges(kB, token, s.limit);
        ASSERT_FALSE(page.error);
        EXPECT_EQ(page.notifications.size(), s.delivered);
        EXPECT_EQ(page.moreComing, s.moreComing);
        ASSERT_TRUE(page.token) << "every fetch gives a token";
        for (const auto& n : page.notifications) EXPECT_TRUE(seen.insert(n.notificationID).second);
        token = page.token;
    }
    EXPECT_EQ(seen.size(), 7u);
    // A stored token still reads the same way after a round trip through its archive.
    const auto restored = ServerChangeToken::unarchive(token->archive());
    ASSERT_TRUE(restored);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(1), {}).error);
    EXPECT_EQ(b_->fetchNotificationChanges(kB, restored, 0).notifications.size(), 1u);
}

TEST_P(BackendContract, AnEpochResetExpiresEarlierTokens) {
    subscribe(*a_, kA);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(2), {}).error);
    NotificationPage before = b_->fetchNotificationChanges(kB, std::nullopt, 0);
    ASSERT_TRUE(before.token);
    ASSERT_FALSE(control().resetEpoch());
    NotificationPage stale = b_->fetchNotificationChanges(kB, before.token, 0);
    ASSERT_TRUE(stale.error);
    EXPECT_EQ(stale.error->code(), ErrorCode::ChangeTokenExpired);
    EXPECT_FALSE(stale.token);
    NotificationPage fresh = b_->fetchNotificationChanges(kB, std::nullopt, 0);
    EXPECT_FALSE(fresh.error);
    ASSERT_TRUE(fresh.token);
    EXPECT_FALSE(b_->fetchNotificationChanges(kB, fresh.token, 0).error);
}

TEST_P(BackendContract, PushesGoToTheAccountsOtherRegisteredInstallations) {
    const Caller c{"install-D", "alice"};  // of the account, never registered
    ASSERT_FALSE(a_->registerForPushes(kA));
    ASSERT_FALSE(b_->registerForPushes(kB));
    auto other = connect();
    ASSERT_FALSE(other->registerForPushes(kOther));
    subscribe(*a_, kA);
    subscribe(*other, kOther);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(3), {}).error);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(2), {}).error);

    EXPECT_TRUE(b_->poll(kB, 0).push) << "two saves, one coalesced push";
    EXPECT_FALSE(b_->poll(kB, 0).push);
    EXPECT_FALSE(a_->poll(kA, 0).push) << "the originator hears nothing";
    EXPECT_FALSE(other->poll(kOther, 0).push) << "another account hears nothing";
    EXPECT_FALSE(connect()->poll(c, 0).push);

    ASSERT_FALSE(control().setPushToOriginator(true));
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(1), {}).error);
    EXPECT_TRUE(a_->poll(kA, 0).push);
    EXPECT_TRUE(b_->poll(kB, 0).push);
}

TEST_P(BackendContract, KeyValuesGoToTheOtherInstallationsOnly) {
    KeyValueExchange first = a_->exchangeKeyValues(kA, {{"config", plist::Value(int64_t(1))}}, 0);
    ASSERT_FALSE(first.error);
    EXPECT_TRUE(first.changes.empty()) << "a writer never hears its own writes";
    EXPECT_TRUE(b_->poll(kB, 0).keyValuesChanged);
    EXPECT_FALSE(a_->poll(kA, first.cursor).keyValuesChanged);
    KeyValueExchange got = b_->exchangeKeyValues(kB, {}, 0);
    ASSERT_EQ(got.changes.size(), 1u);
    EXPECT_EQ(got.changes[0].first, "config");
    EXPECT_EQ(got.changes[0].second, plist::Value(int64_t(1)));
    EXPECT_TRUE(b_->exchangeKeyValues(kB, {}, got.cursor).changes.empty());
    EXPECT_TRUE(b_->exchangeKeyValues(kOther, {}, 0).changes.empty());

    // The last writer wins.
    ASSERT_FALSE(
        b_->exchangeKeyValues(kB, {{"config", plist::Value(int64_t(2))}}, got.cursor).error);
    KeyValueExchange back = a_->exchangeKeyValues(kA, {}, first.cursor);
    ASSERT_EQ(back.changes.size(), 1u);
    EXPECT_EQ(back.changes[0].second, plist::Value(int64_t(2)));
}

// A reader that exchanges while another installation keeps writing receives every value: its
// cursor never moves past a write it was not given.
TEST_P(BackendContract, AReaderBesideAWriterMissesNoKeyValue) {
    constexpr int kKeys = 300;
    std::atomic<bool> writing{true};
    std::optional<Error> writeError;
    std::thread writer([&] {
        int64_t cursor = 0;
        for (int i = 0; i < kKeys && !writeError; ++i) {
            KeyValueExchange r = a_->exchangeKeyValues(
                kA, {{"key" + std::to_string(i), plist::Value(int64_t(i))}}, cursor);
            writeError = r.error;
            cursor = r.cursor;
        }
        writing = false;
    });
    std::set<std::string> received;
    int64_t cursor = 0;
    auto read = [&] {
        KeyValueExchange r = b_->exchangeKeyValues(kB, {}, cursor);
        EXPECT_FALSE(r.error);
        for (const auto& [key, value] : r.changes) received.insert(key);
        cursor = r.cursor;
    };
    // A breath between reads, so that on a store with one write lock the reader does not
    // starve the writer.
    while (writing) {
        read();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    ASSERT_FALSE(writeError) << writeError->description();
    read();
    std::vector<std::string> missed;
    for (int i = 0; i < kKeys; ++i)
        if (!received.count("key" + std::to_string(i))) missed.push_back("key" + std::to_string(i));
    EXPECT_TRUE(missed.empty()) << missed.size() << " never received, the first " << missed[0];
}

TEST_P(BackendContract, KeyValuesOverTheQuotaAreRefused) {
    const std::string big(600 * 1024, 'x');
    KeyValueExchange one = a_->exchangeKeyValues(kA, {{"a", plist::Value(big)}}, 0);
    EXPECT_TRUE(one.rejected.empty());
    KeyValueExchange two = a_->exchangeKeyValues(kA, {{"b", plist::Value(big)}}, one.cursor);
    EXPECT_EQ(two.rejected, std::vector<std::string>{"b"});
    // Replacing a value counts its new size only.
    KeyValueExchange three =
        a_->exchangeKeyValues(kA, {{"a", plist::Value(big + "y")}}, two.cursor);
    EXPECT_TRUE(three.rejected.empty());
    KeyValues many;
    for (int i = 0; i < 1025; ++i)
        many.emplace_back("k" + std::to_string(i), plist::Value(int64_t(i)));
    EXPECT_EQ(b_->exchangeKeyValues(kOther, many, 0).rejected.size(), 1025u);
    many.pop_back();
    EXPECT_TRUE(b_->exchangeKeyValues(kOther, many, 0).rejected.empty());
}

TEST_P(BackendContract, EveryChangeTakesTheNextSequenceNumber) {
    subscribe(*a_, kA);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, lessons(3), {}).error);
    ASSERT_FALSE(b_->modifyRecords(kB, Scope::Private, lessons(2), {}).error);
    ASSERT_FALSE(a_->exchangeKeyValues(kA, {{"k", plist::Value(int64_t(1))}}, 0).error);
    // A request that changes nothing takes no number.
    ASSERT_TRUE(b_->modifyRecords(kB, Scope::Private, lessons(401), {}).error);
    const Table changes = control().inspect("changes");
    ASSERT_FALSE(changes.error);
    ASSERT_EQ(changes.rows.size(), 4u);
    for (size_t i = 0; i < changes.rows.size(); ++i)
        EXPECT_EQ(changes.rows[i][0], std::to_string(i + 1));
    const Table log = control().inspect("log");
    EXPECT_GE(log.rows.size(), 5u);
}

TEST_P(BackendContract, FetchingByIDReportsEachMissingRecord) {
    auto records = lessons(2);
    ASSERT_FALSE(a_->modifyRecords(kA, Scope::Private, records, {}).error);
    const RecordID missing("no-such-record");
    FetchResult result = b_->fetchRecords(kB, Scope::Private,
                                          {records[1].recordID(), missing, records[0].recordID()});
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), ErrorCode::PartialFailure);
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_TRUE(result.items[0].record && result.items[0].record->sameContent(records[1]));
    EXPECT_EQ(result.items[1].error->code(), ErrorCode::UnknownItem);
    EXPECT_TRUE(result.items[2].record && result.items[2].record->sameContent(records[0]));
}

TEST_P(BackendContract, AHeldInstallationWaitsAfterItsCommitUntilReleased) {
    auto ctl = control();
    ASSERT_FALSE(ctl.hold(kA.installation));
    std::optional<ModifyResult> result;
    std::thread writer([&] { result = a_->modifyRecords(kA, Scope::Private, lessons(2), {}); });
    bool held = false;
    for (int i = 0; i < 500 && !held; ++i) {
        held = ctl.isHeld(kA.installation);
        if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(held);
    EXPECT_EQ(queryAll(*b_, kB).size(), 2u) << "the commit is done while the reply is held";
    ASSERT_FALSE(ctl.release(kA.installation));
    writer.join();
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->error);
    EXPECT_FALSE(ctl.isHeld(kA.installation));
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendContract, ::testing::ValuesIn(testing::backendMakers()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace wv::ck
