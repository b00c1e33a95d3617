#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"

namespace wv {
namespace {

TEST(NotificationCenter, DeliversByNameInOrderWithUserInfo) {
    NotificationCenter center;
    std::vector<std::string> log;
    center.addObserver("A", nullptr, [&](const Notification& n) {
        log.push_back("first " + std::any_cast<std::string>(n.userInfo.at("k")));
    });
    center.addObserver("B", nullptr, [&](const Notification&) { log.push_back("other name"); });
    center.addObserver("A", nullptr, [&](const Notification&) { log.push_back("second"); });
    center.post("A", nullptr, {{"k", std::string("v")}});
    log.push_back("after post");
    EXPECT_EQ(log, (std::vector<std::string>{"first v", "second", "after post"}));
}

TEST(NotificationCenter, ASenderFilterTakesOnlyThatSender) {
    NotificationCenter center;
    int mine = 0;
    int any = 0;
    const int me = 0;
    const int someoneElse = 0;
    center.addObserver("N", &me, [&](const Notification&) { ++mine; });
    center.addObserver("N", nullptr, [&](const Notification&) { ++any; });
    center.post("N");
    center.post("N", &someoneElse);
    center.post("N", &me);
    EXPECT_EQ(mine, 1);
    EXPECT_EQ(any, 3);
}

TEST(NotificationCenter, RemovedObserversHearNothingEvenWhenRemovedDuringDelivery) {
    NotificationCenter center;
    std::vector<std::string> log;
    NotificationCenter::ObserverToken second = 0;
    NotificationCenter::ObserverToken first =
        center.addObserver("N", nullptr, [&](const Notification&) {
            log.push_back("first");
            center.removeObserver(first);
            center.removeObserver(second);
        });
    second =
        center.addObserver("N", nullptr, [&](const Notification&) { log.push_back("second"); });
    center.post("N");
    center.post("N");
    center.removeObserver(999);  // unknown tokens are ignored
    EXPECT_EQ(log, std::vector<std::string>{"first"});
}

TEST(NotificationCenter, TheLocaleSignalHasThePlatformName) {
    EXPECT_EQ(kCurrentLocaleDidChangeNotification, "NSCurrentLocaleDidChangeNotification");
    int calls = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        std::string(kCurrentLocaleDidChangeNotification), nullptr,
        [&](const Notification&) { ++calls; });
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
    NotificationCenter::defaultCenter().removeObserver(token);
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace wv
