#include "platform/loader/Loader.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace wv {
namespace {

struct Event {
    bool added;
    std::string path;
    uintptr_t header;
};
std::vector<Event> events;

void onAdded(const LoadedImage& image) {
    events.push_back({true, image.path, image.header});
    // While an image is reported its program headers are live.
    EXPECT_NE(image.phdr, nullptr);
    EXPECT_GT(image.phnum, 0);
}
void onRemoved(const LoadedImage& image) { events.push_back({false, image.path, image.header}); }

class LoaderTest : public ::testing::Test {
  protected:
    void SetUp() override { events.clear(); }
    void TearDown() override { Loader::unregisterCallbacks(); }
};

TEST_F(LoaderTest, RegistrationReportsTheExecutableFirstAndEveryLoadedImage) {
    Loader::registerCallbacks(onAdded, onRemoved);
    ASSERT_GE(events.size(), 2u);
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(events[0].path, self);
    bool libc = false;
    for (const auto& e : events) {
        EXPECT_TRUE(e.added);
        EXPECT_NE(e.header, 0u);
        if (e.path.find("libc.so") != std::string::npos) libc = true;
    }
    EXPECT_TRUE(libc);
}

TEST_F(LoaderTest, OpeningAndClosingThroughTheInterposedCallsIsReported) {
    Loader::registerCallbacks(onAdded, onRemoved);
    events.clear();
    const uint64_t before = Loader::interposedCalls();
    void* handle = dlopen(WV_LOADER_TEST_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_GT(Loader::interposedCalls(), before);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].added);
    EXPECT_EQ(events[0].path, WV_LOADER_TEST_IMAGE);
    const uintptr_t header = events[0].header;
    Dl_info info{};
    ASSERT_NE(dladdr(dlsym(handle, "wv_loader_test_image_answer"), &info), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.dli_fbase), header);

    // Opening it again moves no counter: nothing new is reported.
    void* again = dlopen(WV_LOADER_TEST_IMAGE, RTLD_NOW | RTLD_LOCAL);
    EXPECT_EQ(events.size(), 1u);
    dlclose(again);
    EXPECT_EQ(events.size(), 1u);

    ASSERT_EQ(dlclose(handle), 0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[1].added);
    EXPECT_EQ(events[1].path, WV_LOADER_TEST_IMAGE);
    EXPECT_EQ(events[1].header, header);
}

TEST_F(LoaderTest, AFailedOpenReportsNothingAndWithoutCallbacksNothingIsCalled) {
    Loader::registerCallbacks(onAdded, onRemoved);
    events.clear();
    EXPECT_EQ(dlopen("/nonexistent/libnothing.so", RTLD_NOW), nullptr);
    EXPECT_TRUE(events.empty());
    Loader::unregisterCallbacks();
    void* handle = dlopen(WV_LOADER_TEST_IMAGE, RTLD_NOW);
    ASSERT_NE(handle, nullptr);
    dlclose(handle);
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace wv
