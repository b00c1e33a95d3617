#include "platform/foundation/Module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/Log.h"

namespace wv {
namespace {

// The test program lives in a folder of its own: the module is found in the build tree.
TEST(Module, OpensAModuleOfTheBuildAndCallsIntoIt) {
    std::string error;
    auto module = Module::open("wovanu-test-module.so", error);
    ASSERT_TRUE(module) << error;
    EXPECT_EQ(std::filesystem::path(module->path()).filename(), "wovanu-test-module.so");
    auto* answer = module->function<int(int)>("wv_test_module_answer", error);
    ASSERT_NE(answer, nullptr) << error;
    EXPECT_EQ(answer(7), 71);
}

// The module has a log of its own copy; what it says must still reach the program's sink.
TEST(Module, WhatAModuleLogsReachesTheProgramsSink) {
    std::string error;
    auto module = Module::open("wovanu-test-module.so", error);
    ASSERT_TRUE(module) << error;
    auto* say = module->function<void(const char*)>("wv_test_module_say", error);
    ASSERT_NE(say, nullptr) << error;
    LogCapture capture;
    say("said inside the module");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"said inside the module"});
    // Opened again, by the program or by the module's own code, it keeps writing there.
    auto* reopen = module->function<bool()>("wv_test_module_reopen", error);
    ASSERT_NE(reopen, nullptr) << error;
    ASSERT_TRUE(Module::open("wovanu-test-module.so", error)) << error;
    ASSERT_TRUE(reopen());
    say("said again");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"said inside the module", "said again"}));
}

TEST(Module, FailuresNameTheCallAndWhatWasMissing) {
    std::string error;
    EXPECT_FALSE(Module::open("wovanu-no-such-module.so", error));
    EXPECT_EQ(error.rfind("dlopen failed: ", 0), 0u) << error;
    EXPECT_NE(error.find("wovanu-no-such-module.so"), std::string::npos) << error;

    auto module = Module::open("wovanu-test-module.so", error);
    ASSERT_TRUE(module) << error;
    error.clear();
    EXPECT_EQ(module->symbol("wv_test_module_question", error), nullptr);
    EXPECT_EQ(error.rfind("dlsym failed: ", 0), 0u) << error;
    EXPECT_NE(error.find("wv_test_module_question"), std::string::npos) << error;
}

// A file of the right name that is no shared object is found first and refused, with the
// loader's own reason.
TEST(Module, AFileThatIsNoSharedObjectIsRefused) {
    const auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const auto junk = beside / "wovanu-junk-module.so";
    std::ofstream(junk) << "not an ELF file\n";
    std::string error;
    EXPECT_FALSE(Module::open("wovanu-junk-module.so", error));
    std::filesystem::remove(junk);
    EXPECT_EQ(error.rfind("dlopen failed: ", 0), 0u) << error;
    EXPECT_NE(error.find(junk.string()), std::string::npos) << error;
}

}  // namespace
}  // namespace wv
