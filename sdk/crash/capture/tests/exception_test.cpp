#include <gtest/gtest.h>
#include <unistd.h>

#include <new>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "platform/foundation/Log.h"
#include "sdk/crash/capture/QXException.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv {
namespace {

TEST(Exception, TypeNames) {
    const struct {
        int type;
        const char* name;
    } cases[] = {{1, "objective-c"}, {2, "c++"},     {3, "javascript"},
                 {4, "custom"},      {0, "unknown"}, {5, "unknown"}};
    for (const auto& c : cases) EXPECT_STREQ(QXExceptionTypeName(c.type), c.name);
}

nlohmann::json writeLine(const test::ScopedLogContext& log, const QXStackFrame* frames,
                         uint32_t count) {
    // Record files are opened for appending: each line gets a file of its own.
    static int written = 0;
    const std::string path =
        (log.folder() / ("line" + std::to_string(++written) + ".qxrecord")).string();
    QXFile file;
    EXPECT_TRUE(QXFileInitWithPath(&file, path.c_str(), false));
    QXExceptionWrite(&file, 2, "name \"x\"", "why\n", frames, count);
    QXFileClose(&file);
    return nlohmann::json::parse(test::readFile(path))["exception"];
}

TEST(Exception, TheLineHexEncodesTextAndLeavesOutAbsentFrameParts) {
    test::ScopedLogContext log;
    nlohmann::json noFrames = writeLine(log, nullptr, 0);
    EXPECT_EQ(noFrames["type"], "c++");
    EXPECT_EQ(noFrames["name"], QXFileHexEncodeString("name \"x\""));
    EXPECT_EQ(noFrames["reason"], QXFileHexEncodeString("why\n"));
    EXPECT_TRUE(noFrames.contains("time"));
    EXPECT_FALSE(noFrames.contains("frames"));

    const QXStackFrame frames[] = {{0x1000, "f", 4, "lib", "file.cpp", 7, std::nullopt},
                                   QXStackFrame::stackFrameWithAddress(0x2000)};
    nlohmann::json line = writeLine(log, frames, 2);
    ASSERT_EQ(line["frames"].size(), 2u);
    EXPECT_EQ(line["frames"][0], (nlohmann::json{{"pc", 0x1000},
                                                 {"symbol", QXFileHexEncodeString("f")},
                                                 {"offset", 4},
                                                 {"library", QXFileHexEncodeString("lib")},
                                                 {"file", QXFileHexEncodeString("file.cpp")},
                                                 {"line", 7}}));
    EXPECT_EQ(line["frames"][1], (nlohmann::json{{"pc", 0x2000}, {"offset", 0}, {"line", 0}}));
}

struct ThrownCase {
    const char* label;
    void (*thrower)();
    const char* name;
    const char* reason;
};

const std::runtime_error pointee("pointed at");

const ThrownCase kThrown[] = {
    {"c_string", [] { throw "plain text"; }, "const char *", "plain text"},
    {"string", [] { throw std::string("a string"); }, "std::string", "a string"},
    {"runtime_error", [] { throw std::runtime_error("it broke"); }, "std::runtime_error",
     "it broke"},
    {"bad_alloc", [] { throw std::bad_alloc(); }, "std::bad_alloc", "std::bad_alloc"},
    {"pointer", [] { throw static_cast<const std::exception*>(&pointee); }, "std::exception const*",
     "pointed at"},
    {"integer", [] { throw 42; }, "int", ""},
};

class CatchTable : public ::testing::TestWithParam<ThrownCase> {};

TEST_P(CatchTable, RecordsNameAndReasonOfWhatWasThrown) {
    test::TempFolder folder;
    QXContextInstallers installers{};
    installers.exceptions = QXExceptionInitialize;
    QXContextSetInstallers(installers);
    QXContextInitData data{};
    const std::string root = folder.path().string();
    data.reportDirectory = root.c_str();
    ASSERT_TRUE(QXContextInitialize(&data));
    for (int i = 0; i < 5000 && !QXContextIsInitialized(); ++i) usleep(1000);
    EXPECT_EQ(std::get_terminate(), QXTerminateHandler);

    try {
        GetParam().thrower();
    } catch (...) {
        QXCatchAndRecordActiveException();
    }
    auto lines = QXFileReadSections(folder / "exception.qxrecord", false);
    ASSERT_TRUE(lines && !lines->empty());
    const auto& line = (*lines)[0]["exception"];
    EXPECT_EQ(line["type"], "c++");
    EXPECT_EQ(QXFileHexDecodeString(line["name"].get<std::string>()), GetParam().name);
    EXPECT_EQ(QXFileHexDecodeString(line["reason"].get<std::string>()), GetParam().reason);
    EXPECT_FALSE(line.contains("frames"));
    bool threads = false;
    for (const auto& l : *lines) threads = threads || l.contains("threads");
    EXPECT_TRUE(threads);
}

INSTANTIATE_TEST_SUITE_P(Thrown, CatchTable, ::testing::ValuesIn(kThrown),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace wv

// Exported, so the start-up check can name it.
extern "C" [[noreturn]] void wvForeignTerminate() { abort(); }

namespace wv {
namespace {

TEST(Exception, TheStartUpCheckNamesAForeignTerminateHandlerAndTheMissingDefault) {
    test::ScopedLogContext log;
    LogCapture lines;
    std::set_terminate(QXTerminateHandler);
    QXExceptionCheckHandlers();
    EXPECT_TRUE(lines.contains(
        "[Quellix:Crash] Warning: NSApplicationCrashOnExceptions is not set. This will result in "
        "poor top-level uncaught exception reporting."));
    EXPECT_EQ(lines.lines().size(), 1u);

    lines.clear();
    std::set_terminate(wvForeignTerminate);
    QXExceptionCheckHandlers();
    bool named = false;
    for (const auto& line : lines.lines())
        named =
            named ||
            line.find("[Quellix:Crash] Warning: std::get_terminate is 'wvForeignTerminate' in '") ==
                0;
    EXPECT_TRUE(named);
}

TEST(Exception, NothingInFlightRecordsNothing) {
    test::ScopedLogContext log;
    QXCatchAndRecordActiveException();
    EXPECT_NE(log.log().find("no active exception"), std::string::npos);
}

TEST(Exception, WithoutAContextNothingIsRecorded) {
    test::ScopedLogContext log;  // not marked initialised
    const std::string path = (log.folder() / "exception.qxrecord").string();
    log.context().exception.path = path.c_str();
    QXExceptionRecord(2, "n", "r", nullptr, 0, true);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace wv
