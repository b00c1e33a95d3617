// One report folder processed: each crash file's frames resolved, demangled and written
// beside it, whatever else the folder holds or lacks.
#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Log.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/report/QXProcessReportOperation.h"
#include "sdk/crash/report/tests/ReportTestSupport.h"

namespace wv::test {
namespace {

extern "C" __attribute__((noinline, used)) int wvProcessPlainFunction(int value) {
    asm volatile("" ::: "memory");
    return value * 3 + 1;
}

__attribute__((noinline, used)) int processCppFunction(int value) {
    asm volatile("" ::: "memory");
    return value * 5 + 2;
}

uint64_t plainAddress() { return reinterpret_cast<uint64_t>(&wvProcessPlainFunction); }
uint64_t cppAddress() { return reinterpret_cast<uint64_t>(&processCppFunction); }

const char* const kCppMangled = "_ZN2wv4test12_GLOBAL__N_118processCppFunctionEi";
const char* const kCppName = "wv::test::(anonymous namespace)::processCppFunction(int)";

// One array per thread; a braced list of one element would be taken for the element itself.
nlohmann::json threadsLine(std::vector<nlohmann::json> threads) {
    return {{"threads", nlohmann::json(std::move(threads))}};
}

nlohmann::json array(std::vector<nlohmann::json> values) {
    return nlohmann::json(std::move(values));
}

nlohmann::json thread(const std::vector<uint64_t>& stacktrace) {
    return {{"registers", {{"rip", stacktrace.empty() ? 0 : stacktrace[0]}}},
            {"stacktrace", stacktrace}};
}

class Processing : public ::testing::Test {
  protected:
    void SetUp() override {
        self_ = imageHolding(plainAddress());
        ASSERT_NE(self_.uuid[0], '\0');
        writeLines(folder_ / "binary_images.qxrecord", {loadLine(self_)});
        report_ = QXInternalReport::initWithPathExecutionIdentifier(folder_.path(), "run");
    }

    void process() {
        auto operation =
            QXProcessReportOperation::initWithReport(report_, std::make_shared<QXSymbolResolver>());
        operation->start();
    }

    // The one line of a companion file, or null when there is none.
    nlohmann::json companion(const std::string& crashFile) {
        auto lines = QXFileReadSections(folder_ / (crashFile + ".symbolicated"), false);
        if (!lines || lines->size() != 1) return nullptr;
        return (*lines)[0];
    }

    std::string library() const { return std::filesystem::path(self_.path).filename().string(); }

    TempFolder folder_;
    QXBinaryImageDetails self_;
    std::shared_ptr<QXInternalReport> report_;
};

TEST_F(Processing, WritesTheSymbolicatedFramesOfEachThreadBesideTheCrashFile) {
    const std::string raw =
        threadsLine({thread({plainAddress(), cppAddress() + 4}), thread({}), thread({0, 1})})
            .dump() +
        "\n";
    writeFile(folder_ / "signal.qxrecord", raw);
    process();
    const nlohmann::json expected = threadsLine(
        {{{{"symbol", "wvProcessPlainFunction"}, {"offset", 0}, {"library", library()}},
          {{"symbol", kCppName},
           {"raw_symbol", kCppMangled},
           {"offset", 4},
           {"library", library()}}},
         nlohmann::json::array(),
         {{{"symbol", nullptr}, {"raw_symbol", nullptr}, {"offset", 0}, {"library", nullptr}},
          {{"symbol", nullptr}, {"raw_symbol", nullptr}, {"offset", 0}, {"library", nullptr}}}});
    EXPECT_EQ(companion("signal.qxrecord"), expected);
    // The crash file itself is not touched, and only crash files get a companion.
    EXPECT_EQ(readFile(folder_ / "signal.qxrecord"), raw);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "exception.qxrecord.symbolicated"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "mach_exception.qxrecord.symbolicated"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "binary_images.qxrecord.symbolicated"));
}

TEST_F(Processing, EveryCrashFileGetsItsOwnCompanion) {
    writeLines(folder_ / "exception.qxrecord",
               {{{"exception", {{"time", 1}}}}, threadsLine({thread({plainAddress()})})});
    writeLines(folder_ / "mach_exception.qxrecord", {threadsLine({thread({cppAddress()})})});
    process();
    EXPECT_EQ(companion("exception.qxrecord")["threads"][0][0]["symbol"], "wvProcessPlainFunction");
    EXPECT_EQ(companion("mach_exception.qxrecord")["threads"][0][0]["symbol"], kCppName);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "signal.qxrecord.symbolicated"));
}

struct ThreadsCase {
    const char* label;
    std::string file;
    std::optional<std::vector<nlohmann::json>> threads;  // none: no companion
};

// Names the case in test output, rather than its bytes.
void PrintTo(const ThreadsCase& c, std::ostream* os) { *os << c.label; }

const nlohmann::json kUnresolved = {
    {"symbol", nullptr}, {"raw_symbol", nullptr}, {"offset", 0}, {"library", nullptr}};

using Threads = std::vector<nlohmann::json>;

const ThreadsCase kThreadsCases[] = {
    {"no_threads_line",
     R"({"signal":{"time":1}})"
     "\n",
     std::nullopt},
    {"torn_threads_line", R"({"threads":[{"stacktrace":[1,2]},{"stackt)", std::nullopt},
    {"threads_not_an_array",
     R"({"threads":{"stacktrace":[1]}})"
     "\n",
     std::nullopt},
    {"empty_file", "", std::nullopt},
    {"no_threads",
     R"({"threads":[]})"
     "\n",
     Threads{}},
    // A spoilt thread or address keeps its place, so the rest still line up.
    {"thread_not_an_object",
     R"({"threads":[7,{"stacktrace":[1]}]})"
     "\n",
     Threads{array({}), array({kUnresolved})}},
    {"thread_without_stacktrace",
     R"({"threads":[{"registers":{}},{"stacktrace":[1]}]})"
     "\n",
     Threads{array({}), array({kUnresolved})}},
    {"stacktrace_not_an_array",
     R"({"threads":[{"stacktrace":"1"}]})"
     "\n",
     Threads{array({})}},
    {"addresses_not_numbers",
     R"({"threads":[{"stacktrace":["0x10",-4,1.5,null,2]}]})"
     "\n",
     Threads{array({kUnresolved, kUnresolved, kUnresolved, kUnresolved, kUnresolved})}},
    {"only_the_first_threads_line",
     "garbage\n"
     R"({"threads":[{"stacktrace":[1]}]})"
     "\n"
     R"({"threads":[{"stacktrace":[1]},{"stacktrace":[2]}]})"
     "\n",
     Threads{array({kUnresolved})}},
};

class SpoiltThreads : public Processing, public ::testing::WithParamInterface<ThreadsCase> {};

TEST_P(SpoiltThreads, SpoilOnlyWhatIsSpoilt) {
    writeFile(folder_ / "signal.qxrecord", GetParam().file);
    process();
    if (!GetParam().threads) {
        EXPECT_FALSE(std::filesystem::exists(folder_ / "signal.qxrecord.symbolicated"));
    } else {
        EXPECT_EQ(companion("signal.qxrecord"), threadsLine(*GetParam().threads));
    }
}

INSTANTIATE_TEST_SUITE_P(Processing, SpoiltThreads, ::testing::ValuesIn(kThreadsCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Processing, WithoutTheImagesRecordNothingIsSymbolicated) {
    std::filesystem::remove(folder_ / "binary_images.qxrecord");
    writeLines(folder_ / "signal.qxrecord", {threadsLine({thread({plainAddress()})})});
    LogCapture log;
    process();
    EXPECT_FALSE(std::filesystem::exists(folder_ / "signal.qxrecord.symbolicated"));
    EXPECT_TRUE(log.contains("[Quellix:Crash:SymbolResolver] failed to read binary image file " +
                             (folder_ / "binary_images.qxrecord").string()));
}

TEST_F(Processing, AProcessedFolderProcessedAgainGetsFreshCompanions) {
    writeFile(folder_ / "signal.qxrecord.symbolicated",
              std::string(5000, 'x') + "\n" + threadsLine({thread({9})}).dump() + "\n");
    writeLines(folder_ / "signal.qxrecord", {threadsLine({thread({plainAddress()})})});
    process();
    process();
    EXPECT_EQ(
        companion("signal.qxrecord"),
        threadsLine({array(
            {{{"symbol", "wvProcessPlainFunction"}, {"offset", 0}, {"library", library()}}})}));
}

TEST_F(Processing, ACompanionThatCannotBeCreatedLeavesTheOthers) {
    writeLines(folder_ / "exception.qxrecord", {threadsLine({thread({plainAddress()})})});
    writeLines(folder_ / "signal.qxrecord", {threadsLine({thread({plainAddress()})})});
    std::filesystem::create_directory(folder_ / "exception.qxrecord.symbolicated");
    LogCapture log;
    process();
    EXPECT_TRUE(log.contains("[Quellix:Crash:Symbolication] Failed to create output file"));
    EXPECT_EQ(companion("signal.qxrecord")["threads"][0][0]["symbol"], "wvProcessPlainFunction");
}

TEST_F(Processing, ACrashFileThatCannotBeReadIsPassedBy) {
    std::filesystem::create_directory(folder_ / "exception.qxrecord");
    writeLines(folder_ / "signal.qxrecord", {threadsLine({thread({plainAddress()})})});
    process();
    EXPECT_FALSE(std::filesystem::exists(folder_ / "exception.qxrecord.symbolicated"));
    EXPECT_EQ(companion("signal.qxrecord")["threads"][0][0]["symbol"], "wvProcessPlainFunction");
}

// Names come from files and records written by others: any byte in them must stay inside
// its string and come back as it was.
TEST_F(Processing, TextsThatNeedEscapingComeBackWhole) {
    const std::string odd = "lib\"quoted\"\\back\nline\ttab\x01.so";
    nlohmann::json load = loadLine(self_);
    load["load"]["path"] = "/opt/some dir/" + odd;
    writeLines(folder_ / "binary_images.qxrecord", {load});
    writeLines(folder_ / "signal.qxrecord", {threadsLine({thread({plainAddress()})})});
    process();
    const std::string text = readFile(folder_ / "signal.qxrecord.symbolicated");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(companion("signal.qxrecord")["threads"][0][0]["library"], odd);
}

TEST_F(Processing, FramesComeFromTheFirstThreadsLineAsUnresolvedAddresses) {
    writeLines(folder_ / "signal.qxrecord",
               {threadsLine({thread({5, 6}), thread({7})}), threadsLine({thread({8})})});
    auto threads = QXProcessReportOperation::threadArrayFromFile(folder_ / "signal.qxrecord");
    ASSERT_TRUE(threads);
    ASSERT_EQ(threads->size(), 2u);
    ASSERT_EQ((*threads)[0].size(), 2u);
    EXPECT_EQ((*threads)[0][1].address, 6u);
    EXPECT_EQ((*threads)[1][0].address, 7u);
    EXPECT_EQ((*threads)[1][0].symbol, std::nullopt);
    EXPECT_FALSE(QXProcessReportOperation::threadArrayFromFile(folder_ / "missing.qxrecord"));
    auto operation =
        QXProcessReportOperation::initWithReport(report_, std::make_shared<QXSymbolResolver>());
    EXPECT_EQ(operation->binaryImagePath(), folder_ / "binary_images.qxrecord");
    EXPECT_FALSE(
        operation->symbolicateFile(folder_ / "missing.qxrecord", operation->symbolResolver()));
}

}  // namespace
}  // namespace wv::test
