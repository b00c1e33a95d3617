#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rx/BehaviorSubject.h"
#include "platform/rx/CombineLatest.h"
#include "platform/rx/DisposeBag.h"
#include "platform/rx/ImmediateScheduler.h"
#include "platform/rx/PublishSubject.h"
#include "platform/rx/Variable.h"

namespace wv::rx {
namespace {

// Holds work until the test runs it: stands in for a serial queue.
class ManualScheduler : public Scheduler {
public:
    void schedule(std::function<void()> work) override { pending.push_back(std::move(work)); }
    void runAll() {
        while (!pending.empty()) {
            auto work = std::move(pending.front());
            pending.pop_front();
            work();
        }
    }
    std::deque<std::function<void()>> pending;
};

TEST(BehaviorSubject, NewSubscriberFirstReceivesTheLatestValueThenLaterOnes) {
    BehaviorSubject<int> subject(1);
    subject.onNext(2);
    std::vector<int> seen;
    DisposeBag bag;
    subject.subscribe([&](const int& v) { seen.push_back(v); }).disposed(bag);
    EXPECT_EQ(seen, std::vector<int>{2});
    subject.onNext(3);
    subject.onNext(3);
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 3}));
    EXPECT_EQ(subject.value(), 3);
}

TEST(BehaviorSubject, EveryEventReachesSubscribersSynchronouslyInSubscriptionOrder) {
    BehaviorSubject<std::string> subject("a");
    std::vector<std::string> log;
    DisposeBag bag;
    subject.subscribe([&](const std::string& v) { log.push_back("first " + v); }).disposed(bag);
    subject.subscribe([&](const std::string& v) { log.push_back("second " + v); }).disposed(bag);
    subject.onNext("b");
    log.push_back("after send");
    EXPECT_EQ(log, (std::vector<std::string>{"first a", "second a", "first b", "second b",
                                             "after send"}));
}

TEST(PublishSubject, HandsOnlyLaterValues) {
    PublishSubject<int> subject;
    subject.onNext(1);
    std::vector<int> seen;
    Disposable d = subject.subscribe([&](const int& v) { seen.push_back(v); });
    subject.onNext(2);
    subject.onNext(3);
    EXPECT_EQ(seen, (std::vector<int>{2, 3}));
    d.dispose();
}

TEST(Subjects, DisposingStopsDeliveryAndTheBagEndsItsSubscriptions) {
    PublishSubject<int> subject;
    std::vector<int> seen;
    Disposable single = subject.subscribe([&](const int& v) { seen.push_back(v); });
    {
        DisposeBag bag;
        subject.subscribe([&](const int& v) { seen.push_back(v * 10); }).disposed(bag);
        subject.onNext(1);
    }
    subject.onNext(2);
    single.dispose();
    EXPECT_TRUE(single.isDisposed());
    subject.onNext(3);
    EXPECT_EQ(seen, (std::vector<int>{1, 10, 2}));
    EXPECT_EQ(subject.subscriberCount(), 0u);
}

TEST(Subjects, ReplacingABagEndsWhatTheOldOneHeld) {
    BehaviorSubject<int> subject(0);
    int calls = 0;
    DisposeBag bag;
    subject.subscribe([&](const int&) { ++calls; }).disposed(bag);
    bag = DisposeBag();
    subject.onNext(1);
    EXPECT_EQ(calls, 1);  // only the initial value
}

TEST(Subjects, ASubscriberDisposingItselfOrAnotherDuringDeliveryIsSafe) {
    PublishSubject<int> subject;
    std::vector<std::string> log;
    Disposable self;
    Disposable later;
    self = subject.subscribe([&](const int& v) {
        log.push_back("self " + std::to_string(v));
        self.dispose();
        later.dispose();
    });
    later = subject.subscribe([&](const int& v) { log.push_back("later " + std::to_string(v)); });
    subject.onNext(1);
    subject.onNext(2);
    EXPECT_EQ(log, std::vector<std::string>{"self 1"});
}

TEST(Subjects, ASubscriberJoiningDuringDeliveryWaitsForTheNextEvent) {
    PublishSubject<int> subject;
    std::vector<int> joined;
    DisposeBag bag;
    bool once = true;
    subject
        .subscribe([&](const int&) {
            if (!once) return;
            once = false;
            subject.subscribe([&](const int& v) { joined.push_back(v); }).disposed(bag);
        })
        .disposed(bag);
    subject.onNext(1);
    subject.onNext(2);
    EXPECT_EQ(joined, std::vector<int>{2});
}

TEST(Subjects, CompletionReachesSubscribersOnceAndLaterSendsHaveNoEffect) {
    BehaviorSubject<int> subject(5);
    std::vector<std::string> log;
    DisposeBag bag;
    subject
        .subscribe([&](const int& v) { log.push_back(std::to_string(v)); },
                   [&] { log.push_back("done"); })
        .disposed(bag);
    subject.onCompleted();
    subject.onCompleted();
    subject.onNext(6);
    EXPECT_TRUE(subject.isCompleted());
    EXPECT_EQ(subject.value(), 5);
    subject
        .subscribe([&](const int& v) { log.push_back("late " + std::to_string(v)); },
                   [&] { log.push_back("late done"); })
        .disposed(bag);
    EXPECT_EQ(log, (std::vector<std::string>{"5", "done", "late done"}));
}

TEST(Subjects, ADisposedSubjectDeliversNothing) {
    BehaviorSubject<int> subject(0);
    int calls = 0;
    DisposeBag bag;
    subject.subscribe([&](const int&) { ++calls; }, [&] { calls += 100; }).disposed(bag);
    EXPECT_FALSE(subject.isDisposed());
    subject.dispose();
    EXPECT_TRUE(subject.isDisposed());
    subject.onNext(1);
    subject.onCompleted();
    subject.subscribe([&](const int&) { ++calls; }).disposed(bag);
    EXPECT_EQ(calls, 1);
}

TEST(Subjects, ACopyOfTheHandleIsTheSameSubject) {
    BehaviorSubject<int> original(0);
    BehaviorSubject<int> copy = original;
    std::vector<int> seen;
    DisposeBag bag;
    original.subscribe([&](const int& v) { seen.push_back(v); }).disposed(bag);
    copy.onNext(4);
    EXPECT_EQ(seen, (std::vector<int>{0, 4}));
    EXPECT_EQ(original.value(), 4);
}

TEST(Subjects, SubscriptionOutlivingTheSubjectDisposesQuietly) {
    Disposable d;
    {
        PublishSubject<int> subject;
        d = subject.subscribe([](const int&) {});
    }
    d.dispose();
    EXPECT_TRUE(d.isDisposed());
}

TEST(Variable, HandsTheCurrentValueAtOnceAndPassesEqualValuesToo) {
    Variable<int> selected(0);
    std::vector<int> seen;
    DisposeBag bag;
    selected.asObservable().subscribe([&](const int& v) { seen.push_back(v); }).disposed(bag);
    selected.setValue(2);
    selected.setValue(2);
    EXPECT_EQ(selected.value(), 2);
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 2}));
}

TEST(Operators, MapFilterAndDoRunInOrderOnEveryEvent) {
    PublishSubject<int> subject;
    std::vector<std::string> log;
    DisposeBag bag;
    subject.asObservable()
        .doOnNext([&](const int& v) { log.push_back("do " + std::to_string(v)); },
                  [&] { log.push_back("do done"); })
        .filter([](const int& v) { return v % 2 == 0; })
        .map([](const int& v) { return "n" + std::to_string(v); })
        .subscribe([&](const std::string& s) { log.push_back(s); }, [&] { log.push_back("done"); })
        .disposed(bag);
    for (int v : {1, 2, 3, 4}) subject.onNext(v);
    subject.onCompleted();
    EXPECT_EQ(log, (std::vector<std::string>{"do 1", "do 2", "n2", "do 3", "do 4", "n4", "do done",
                                             "done"}));
}

TEST(Operators, DisposingAChainStopsItsSideEffects) {
    PublishSubject<int> subject;
    int sideEffects = 0;
    int received = 0;
    Disposable d = subject.asObservable()
                       .doOnNext([&](const int&) { ++sideEffects; })
                       .map([](const int& v) { return v + 1; })
                       .subscribe([&](const int&) { ++received; });
    subject.onNext(1);
    d.dispose();
    subject.onNext(2);
    EXPECT_EQ(sideEffects, 1);
    EXPECT_EQ(received, 1);
}

TEST(CombineLatest, EmitsOnceAllHaveAValueAndWheneverAnyEmits) {
    BehaviorSubject<char> next('a');
    PublishSubject<int> settings;
    BehaviorSubject<long> flags(0);
    std::vector<std::string> seen;
    DisposeBag bag;
    combineLatest(
        [](const char& c, const int& s, const long& f) {
            return std::string(1, c) + std::to_string(s) + std::to_string(f);
        },
        next.asObservable(), settings.asObservable(), flags.asObservable())
        .subscribe([&](const std::string& v) { seen.push_back(v); })
        .disposed(bag);
    EXPECT_TRUE(seen.empty());  // the publish subject has no value yet
    settings.onNext(1);
    flags.onNext(8);
    next.onNext('b');
    EXPECT_EQ(seen, (std::vector<std::string>{"a10", "a18", "b18"}));
    bag.dispose();
    next.onNext('c');
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(next.subscriberCount(), 0u);
    EXPECT_EQ(flags.subscriberCount(), 0u);
}

TEST(CombineLatest, CompletesWhenEverySourceHasCompleted) {
    PublishSubject<int> a;
    PublishSubject<int> b;
    int completions = 0;
    DisposeBag bag;
    combineLatest([](const int& x, const int& y) { return x + y; }, a.asObservable(),
                  b.asObservable())
        .subscribe([](const int&) {}, [&] { ++completions; })
        .disposed(bag);
    a.onCompleted();
    EXPECT_EQ(completions, 0);
    b.onCompleted();
    EXPECT_EQ(completions, 1);
}

TEST(ObserveOn, EventsWaitForTheSchedulerKeepTheirOrderAndDropAfterDispose) {
    auto queue = std::make_shared<ManualScheduler>();
    PublishSubject<int> subject;
    std::vector<int> seen;
    Disposable d =
        subject.asObservable().observeOn(queue).subscribe([&](const int& v) { seen.push_back(v); });
    subject.onNext(1);
    subject.onNext(2);
    EXPECT_TRUE(seen.empty());
    queue->runAll();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    subject.onNext(3);
    d.dispose();
    queue->runAll();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(ObserveOn, TheImmediateSchedulerDeliversSynchronously) {
    BehaviorSubject<int> subject(7);
    std::vector<int> seen;
    DisposeBag bag;
    subject.asObservable()
        .observeOn(ImmediateScheduler::instance())
        .subscribe([&](const int& v) { seen.push_back(v); })
        .disposed(bag);
    subject.onNext(8);
    EXPECT_EQ(seen, (std::vector<int>{7, 8}));
}

TEST(Disposable, RunsItsActionExactlyOnceFromAnyCopy) {
    int runs = 0;
    Disposable d([&] { ++runs; });
    Disposable copy = d;
    copy.dispose();
    d.dispose();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(d.isDisposed());
    EXPECT_FALSE(Disposable().isDisposed());
}

}  // namespace
}  // namespace wv::rx

namespace wv::rx {
namespace {

// An owner of a subject whose subscriber destroys it while an event is being delivered.
struct Owner {
    BehaviorSubject<std::string> changed{"start"};
    std::string last = "first";
};

TEST(Subjects, ASubscriberMayDestroyTheSubjectsOwnerDuringDelivery) {
    auto owner = std::make_unique<Owner>();
    std::vector<std::string> seen;
    DisposeBag bag;
    owner->changed
        .subscribe([&](const std::string& v) {
            seen.push_back(v);
            if (v == "first") owner.reset();
        })
        .disposed(bag);
    owner->changed.subscribe([&](const std::string& v) { seen.push_back("second " + v); })
        .disposed(bag);
    Owner* raw = owner.get();
    raw->changed.onNext(raw->last);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"start", "second start", "first", "second first"}));
}

}  // namespace
}  // namespace wv::rx
