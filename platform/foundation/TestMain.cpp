// The main of every test program: each run gets fresh data and cache folders, so no test
// reads or writes the real home folder, and they are removed afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    // Qt reads the media backend once, when the application object is made; the FFmpeg one is
    // the one that plays the bundle's videos (see the application's main).
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 1);
    ::testing::InitGoogleTest(&argc, argv);
    char pattern[] = "/tmp/wovanu-test-XXXXXX";
    const char* root = mkdtemp(pattern);
    if (!root) return 2;
    const std::filesystem::path base(root);
    std::filesystem::create_directories(base / "data");
    std::filesystem::create_directories(base / "cache");
    setenv("XDG_DATA_HOME", (base / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (base / "cache").c_str(), 1);
    setenv("HOME", base.c_str(), 1);
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    return result;
}
