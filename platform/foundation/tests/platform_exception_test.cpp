#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Log.h"
#include "platform/foundation/PlatformException.h"

namespace wv {
namespace {

__attribute__((noinline)) PlatformException makeHere() {
    return PlatformException("TestName", "test reason");
}

std::string reported;
void recordingReporter(const PlatformException& e) { reported = e.name() + "/" + e.reason(); }

TEST(PlatformException, CarriesNameReasonAndTheAddressesOfWhereItWasMade) {
    PlatformException e = makeHere();
    EXPECT_EQ(e.name(), "TestName");
    EXPECT_EQ(e.reason(), "test reason");
    EXPECT_STREQ(e.what(), "test reason");
    ASSERT_GE(e.callStackReturnAddresses().size(), 2u);
    // The first address returns into makeHere, not into the constructor.
    const auto first = e.callStackReturnAddresses()[0];
    const auto here = reinterpret_cast<uintptr_t>(&makeHere);
    EXPECT_GT(first, here);
    EXPECT_LT(first, here + 256);
}

TEST(PlatformException, TheReporterCanBeReplacedAndPutBack) {
    auto previous = PlatformException::setReporter(recordingReporter);
    EXPECT_EQ(previous, &PlatformException::defaultReporter);
    PlatformException::reportException(PlatformException("A", "b"));
    EXPECT_EQ(reported, "A/b");
    EXPECT_EQ(PlatformException::setReporter(nullptr), recordingReporter);
    EXPECT_EQ(PlatformException::reporter(), &PlatformException::defaultReporter);
}

TEST(PlatformException, TheDefaultLogsAndGoesOnUnlessAskedToCrash) {
    LogCapture log;
    PlatformException::setCrashOnExceptions(false);
    PlatformException::reportException(PlatformException("Name", "why"));
    EXPECT_TRUE(log.contains("*** Name: why"));
    PlatformException::setCrashOnExceptions(true);
    EXPECT_DEATH(PlatformException::reportException(PlatformException("Name", "why")), "");
    PlatformException::setCrashOnExceptions(false);
}

}  // namespace
}  // namespace wv
