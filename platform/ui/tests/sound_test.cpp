#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/ui/AudioOutput.h"
#include "platform/ui/SoundLibrary.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

std::vector<std::string> errorSoundNames() {
    std::vector<std::string> names{"sound_beta_2"};
    for (const char* family : {"child", "mar", "pluc"})
        for (int i = 1; i <= 5; ++i)
            names.push_back(std::string("sound_") + family + "_" + std::to_string(i));
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

TEST(SoundLibrary, UnknownNameHasNoSound) {
    EXPECT_EQ(SoundLibrary::named("sound_missing"), nullptr);
}

TEST(SoundLibrary, PlayingCountsEachStartOrReportsNoOutput) {
    test::application();
    auto clip = SoundLibrary::named("sound_beta_2");
    ASSERT_NE(clip, nullptr);
    const bool started = clip->play();
    EXPECT_EQ(clip->play(), started) << "the same output both times";
    EXPECT_EQ(clip->playCount(), started ? 2 : 0);
}

// Whether a shared library whose file name starts with `name` is mapped into this process.
bool isMapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("/" + name) != std::string::npos) return true;
    return false;
}

TEST(AudioOutput, TheBackEndIsMappedByTheFirstSoundAndNotBefore) {
    test::application();
    auto clip = SoundLibrary::named("sound_beta_2");
    ASSERT_NE(clip, nullptr);
    ASSERT_TRUE(clip->isLoaded());
    EXPECT_FALSE(isMapped("libQt6Multimedia.so"));
    EXPECT_FALSE(AudioOutput::isLoaded());
    clip->play();  // whether a device takes it depends on the machine
    EXPECT_TRUE(AudioOutput::isLoaded());
    EXPECT_TRUE(isMapped("libQt6Multimedia.so"));
    EXPECT_TRUE(isMapped("audio.so"));
}

// An output that writes down the format of each voice and the samples of each start.
struct RecordingOutput final : AudioOutput {
    struct Log {
        std::vector<std::pair<int, int>> voices;
        std::vector<QByteArray> starts;
    };
    explicit RecordingOutput(std::shared_ptr<Log> log) : log(std::move(log)) {}
    std::unique_ptr<AudioVoice> makeVoice(int rate, int channels) override {
        log->voices.emplace_back(rate, channels);
        struct Voice final : AudioVoice {
            std::shared_ptr<Log> log;
            bool start(const QByteArray& samples) override {
                log->starts.push_back(samples);
                return true;
            }
        };
        auto voice = std::make_unique<Voice>();
        voice->log = log;
        return voice;
    }
    std::shared_ptr<Log> log;
};

TEST(SoundClip, PlaysItsSamplesThroughTheOutputLoadedOnceAtTheFirstPlay) {
    test::application();
    auto log = std::make_shared<RecordingOutput::Log>();
    int loads = 0;
    AudioOutput::setLoader([&] {
        ++loads;
        return std::make_unique<RecordingOutput>(log);
    });
    const auto path = std::filesystem::temp_directory_path() / "wv_three_samples.wav";
    {
        // 16-bit stereo at 8000 Hz, three frames.
        const char header[] =
            "RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x40\x1f\0\0"
            "\0\x7d\0\0\x04\0\x10\0data\x0c\0\0\0";
        std::ofstream out(path, std::ios::binary);
        out.write(header, sizeof header - 1);
        out.write("abcdefghijkl", 12);
    }
    SoundClip clip("three", path);
    ASSERT_TRUE(clip.isLoaded());
    EXPECT_EQ(loads, 0) << "reading a sound loads no audio back end";
    EXPECT_TRUE(clip.play());
    EXPECT_TRUE(clip.play());
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(log->voices, (std::vector<std::pair<int, int>>{{8000, 2}}));
    ASSERT_EQ(log->starts.size(), 2u);
    EXPECT_EQ(log->starts[0], QByteArray("abcdefghijkl"));
    EXPECT_EQ(clip.playCount(), 2);
    AudioOutput::setLoader([&] {
        ++loads;
        return nullptr;
    });
    SoundClip second("again", path);
    EXPECT_FALSE(second.play()) << "no output, no sound";
    EXPECT_FALSE(second.play());
    EXPECT_EQ(loads, 2) << "a back end that failed to load is not tried again";
    AudioOutput::setLoader(&AudioOutput::loadModule);
    std::filesystem::remove(path);
}

TEST(SoundClip, AFileThatIsNoWaveIsNotLoaded) {
    const auto path = std::filesystem::temp_directory_path() / "wv_not_a_wave.wav";
    std::ofstream(path) << "RIFF\x10\0\0\0WAVEdata\xff\xff\xff\x7f";
    LogCapture log;
    SoundClip clip("broken", path);
    EXPECT_TRUE(log.lines().empty()) << "the file is read when first needed, not when found";
    EXPECT_FALSE(clip.isLoaded());
    EXPECT_FALSE(clip.play());
    EXPECT_EQ(clip.duration(), 0.0);
    EXPECT_EQ(log.lines().size(), 1u) << "reported once";
    EXPECT_TRUE(log.contains("cannot read sound " + path.string()));
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace wv
