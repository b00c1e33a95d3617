#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {

using test::ScopedLogContext;

TEST(QXSDKLog, NothingIsWrittenBeforeTheContextExists) {
    QXReadOnlyContext* saved = qxContext;
    qxContext = nullptr;
    QXSDKLog(QXSDKLogLevelError, "ERROR [%s:%d] lost\n", "f", 1);  // must simply return
    qxContext = reinterpret_cast<QXReadOnlyContext*>(uintptr_t(4095));
    QXSDKLog(QXSDKLogLevelError, "ERROR [%s:%d] lost\n", "f", 1);
    qxContext = saved;
}

TEST(QXSDKLog, ConversionsWriteTheirValues) {
    ScopedLogContext scope;
    const char* absent = nullptr;
    QXSDKLog(QXSDKLogLevelInfo, "%s|%s|%d|%d|%u|%x|%p\n", "text", absent, -42, INT_MIN, 4000000000u,
             0xbeefu, reinterpret_cast<void*>(uintptr_t(0x7fff1234)));
    // 64-bit conversions consume their own argument: the ones after them stay in step.
    QXSDKLog(QXSDKLogLevelInfo, "Mapping: %p %p %p, total: %zu K %llx %lld %lu %d\n",
             reinterpret_cast<void*>(0x1000), reinterpret_cast<void*>(0x2000),
             reinterpret_cast<void*>(0x3000), size_t(567), 0xfffffffffffull, -9000000000ll,
             18446744073709551615ul, 7);
    QXSDKLog(QXSDKLogLevelInfo, "%i %% %q %");
    EXPECT_EQ(scope.log(),
              "text|(null)|-42|-2147483648|4000000000|beef|0x7fff1234\n"
              "Mapping: 0x1000 0x2000 0x3000, total: 567 K fffffffffff -9000000000 "
              "18446744073709551615 7\n"
              "%i %% %q %");
}

TEST(QXSDKLog, LinesCarryLevelFunctionAndLineAndRespectTheMinimum) {
    ScopedLogContext scope;
    QXLogWarn("value %d\n", 5);
    int line = __LINE__ - 1;
    scope.writable().logMinimumLevel = QXSDKLogLevelError;
    QXLogInfo("dropped\n");
    QXLogError("kept\n");
    std::string expected = "WARN  [TestBody:" + std::to_string(line) +
                           "] value 5\nERROR [TestBody:" + std::to_string(line + 4) + "] kept\n";
    EXPECT_EQ(scope.log(), expected);
}

TEST(QXSDKLog, ConcurrentLinesStayWhole) {
    ScopedLogContext scope;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                QXSDKLog(QXSDKLogLevelInfo, "thread %d line %d of the same width\n", t, i % 10);
        });
    }
    for (auto& thread : threads) thread.join();
    std::istringstream lines(scope.log());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        ASSERT_EQ(line.size(), std::string("thread 0 line 0 of the same width").size()) << line;
        ASSERT_EQ(line.rfind("thread ", 0), 0u) << line;
    }
    EXPECT_EQ(count, 8 * 200);
}

TEST(QXSDKLog, WritingGoesOnIntoAnUnlinkedFile) {
    ScopedLogContext scope;
    QXLogInfo("first\n");
    int fd = scope.writable().logDescriptor;
    ASSERT_GE(fd, 0);
    std::filesystem::remove(scope.folder() / "sdk.log");
    QXLogInfo("second\n");
    EXPECT_EQ(scope.writable().logDescriptor, fd);
    EXPECT_FALSE(std::filesystem::exists(scope.folder() / "sdk.log"));
}

}  // namespace
}  // namespace wv
