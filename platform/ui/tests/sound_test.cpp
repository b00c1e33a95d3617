#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ui/SoundLibrary.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

std::vector<std::string> errorSoundNames() {
    std::vector<std::string> names{"sound_beta_2"};
    for (const char* family : {"child", "mar", "pluc"})
        for (int i = 1; i <= 5; ++i) names.push_back(std::string("sound_") + family + "_" + std::to_string(i));
    return names;
}

TEST(SoundLibrary, EveryErrorSoundIsAShortWaveInTheBundle) {
    test::application();
    for (const std::string& name : errorSoundNames()) {
        auto clip = SoundLibrary::named(name);
        ASSERT_NE(clip, nullptr) << name;
        EXPECT_EQ(clip->name(), name);
        std::ifstream in(clip->file(), std::ios::binary);
        char header[44] = {};
        in.read(header, sizeof header);
        EXPECT_EQ(std::string(header, 4), "RIFF") << name;
        EXPECT_EQ(std::string(header + 8, 8), "WAVEfmt ") << name;
        in.seekg(0, std::ios::end);
        const auto bytes = static_cast<long>(in.tellg());
        EXPECT_GT(bytes, 44 + 2 * 44100 / 20) << name << " lasts at least 50 ms";
        EXPECT_LT(bytes, 44 + 2 * 44100) << name << " lasts under a second";
        EXPECT_EQ(SoundLibrary::named(name), clip) << "looked up once";
        EXPECT_TRUE(clip->isLoaded()) << name;
        EXPECT_GT(clip->duration(), 0.05) << name;
        EXPECT_LT(clip->duration(), 0.5) << name;
    }
}

TEST(SoundLibrary, UnknownNameHasNoSound) { EXPECT_EQ(SoundLibrary::named("sound_missing"), nullptr); }

TEST(SoundLibrary, PlayingCountsEachStartOrReportsNoOutput) {
    test::application();
    auto clip = SoundLibrary::named("sound_beta_2");
    ASSERT_NE(clip, nullptr);
    const bool started = clip->play();
    EXPECT_EQ(clip->play(), started) << "the same output both times";
    EXPECT_EQ(clip->playCount(), started ? 2 : 0);
}

TEST(SoundClip, AFileThatIsNoWaveIsNotLoaded) {
    const auto path = std::filesystem::temp_directory_path() / "wv_not_a_wave.wav";
    std::ofstream(path) << "RIFF\x10\0\0\0WAVEdata\xff\xff\xff\x7f";
    SoundClip clip("broken", path);
    EXPECT_FALSE(clip.isLoaded());
    EXPECT_FALSE(clip.play());
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace wv
