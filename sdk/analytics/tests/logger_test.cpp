#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "sdk/analytics/PLRLogger.h"

namespace wv {
namespace {

TEST(PLRLogger, SilentOutsideDebugModeTaggedInside) {
    PLRLogger& logger = PLRLogger::sharedLogger();
    EXPECT_EQ(&logger, &PLRLogger::sharedLogger());
    LogCapture log;
    logger.setDebugMode(false);
    logger.log("quiet");
    logger.logWithLabel("Upload", "quiet");
    EXPECT_TRUE(log.lines().empty());
    logger.setDebugMode(true);
    logger.log("Event queued: custom");
    logger.logWithLabel("Upload", "3 files sent");
    logger.setDebugMode(false);
    EXPECT_EQ(log.lines(LogChannel::System),
              (std::vector<std::string>{"[Plurio] Event queued: custom",
                                        "[Plurio:Upload] 3 files sent"}));
}

}  // namespace
}  // namespace wv
