#include "app/Sound.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/tests/AppTestSupport.h"
#include "app/tests/RunningApplication.h"
#include "engine/ErrorSound.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AudioOutput.h"
#include "platform/ui/SoundLibrary.h"

namespace wv {
namespace {

// Sounds that write down their name when played.
struct Recorder {
    std::vector<std::string> played;
    std::vector<std::string> looked;
    Sound::Lookup lookup() {
        return [this](const std::string& name) -> Sound::Player {
            looked.push_back(name);
            const size_t index = looked.size() - 1;
            return [this, name, index] { played.push_back(name + "#" + std::to_string(index)); };
        };
    }
};

TEST(Sound, FourSetsLookedUpOnceInOrder) {
    Recorder recorder;
    Sound sound(recorder.lookup());
    ASSERT_EQ(sound.errors_collection.size(), 4u);
    EXPECT_EQ(sound.errors_collection[0].size(), 4u);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(sound.errors_collection[i].size(), 5u);
    ASSERT_EQ(recorder.looked.size(), 19u);
    EXPECT_EQ(recorder.looked[0], "sound_beta_2");
    EXPECT_EQ(recorder.looked[3], "sound_beta_2");
    EXPECT_EQ(recorder.looked[4], "sound_child_1");
    EXPECT_EQ(recorder.looked[9], "sound_mar_1");
    EXPECT_EQ(recorder.looked[18], "sound_pluc_5");
    sound.play();
    EXPECT_EQ(recorder.looked.size(), 19u) << "no look-up while playing";
}

TEST(Sound, FiveTyposPlayPositionsZeroToThreeThenZero) {
    Recorder recorder;
    Sound sound(recorder.lookup());
    for (int i = 0; i < 5; ++i) sound.play();
    EXPECT_EQ(recorder.played,
              (std::vector<std::string>{"sound_beta_2#0", "sound_beta_2#1", "sound_beta_2#2",
                                        "sound_beta_2#3", "sound_beta_2#0"}));
    EXPECT_EQ(sound.curr, 1);
}

TEST(Sound, GateOffPlaysNothingAndKeepsThePlace) {
    Recorder recorder;
    Sound sound(recorder.lookup());
    bool on = true;
    sound.isOn = [&] { return on; };
    sound.play();
    sound.play();
    on = false;
    sound.play();
    sound.play();
    EXPECT_EQ(recorder.played.size(), 2u);
    EXPECT_EQ(sound.curr, 2);
    on = true;
    sound.play();
    EXPECT_EQ(recorder.played.back(), "sound_beta_2#2") << "goes on from where it was";
}

TEST(Sound, AnotherSetCountsToFive) {
    Recorder recorder;
    Sound sound(recorder.lookup());
    sound.err_idx = 2;
    for (int i = 0; i < 6; ++i) sound.play();
    EXPECT_EQ(recorder.played.front(), "sound_mar_1#9");
    EXPECT_EQ(recorder.played[4], "sound_mar_5#13");
    EXPECT_EQ(recorder.played[5], "sound_mar_1#9");
}

TEST(Sound, PluggedIntoTheLineBehindItsSettingsGate) {
    Recorder recorder;
    auto sound = std::make_shared<Sound>(recorder.lookup());
    ErrorSound line;
    bool soundOn = true;
    line.isOn = [&] { return soundOn; };
    plugErrorSound(line, sound);
    line.play();
    soundOn = false;
    line.play();
    line.play();
    EXPECT_EQ(recorder.played.size(), 1u);
    EXPECT_EQ(sound->curr, 1) << "the setting's gate stops the sound before it counts";
    soundOn = true;
    line.play();
    EXPECT_EQ(recorder.played.back(), "sound_beta_2#1");
}

TEST(Sound, MissingSoundPlaysNothingButKeepsItsTurn) {
    Recorder recorder;
    LogCapture log;
    Sound sound([&](const std::string& name) -> Sound::Player {
        if (recorder.looked.size() == 1) {
            recorder.looked.push_back(name);
            return {};
        }
        return recorder.lookup()(name);
    });
    sound.play();
    sound.play();
    sound.play();
    EXPECT_EQ(recorder.played.size(), 2u);
    EXPECT_EQ(sound.curr, 3);
}

TEST(Sound, BundleHasEverySound) {
    test::application();
    LogCapture log;
    Sound sound;
    for (const auto& set : sound.errors_collection)
        for (const auto& player : set) EXPECT_TRUE(player);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(Sound::bundleSound("sound_missing"));
    EXPECT_TRUE(log.contains("Sound: missing sound resource sound_missing"));
}

// An output that keeps the samples of every start.
struct CapturingOutput final : AudioOutput {
    std::shared_ptr<std::vector<QByteArray>> starts = std::make_shared<std::vector<QByteArray>>();
    std::unique_ptr<AudioVoice> makeVoice(int, int) override {
        struct Voice final : AudioVoice {
            std::shared_ptr<std::vector<QByteArray>> starts;
            bool start(const QByteArray& samples) override {
                starts->push_back(samples);
                return true;
            }
        };
        auto voice = std::make_unique<Voice>();
        voice->starts = starts;
        return voice;
    }
};

TEST(Sound, TheFirstTypoLoadsTheAudioOutputThatStartUpLeftAloneAndPlaysTheErrorSound) {
    int loads = 0;
    auto starts = std::make_shared<std::vector<QByteArray>>();
    AudioOutput::setLoader([&] {
        ++loads;
        auto output = std::make_unique<CapturingOutput>();
        output->starts = starts;
        return output;
    });
    {
        test::RunningApplication app;
        app.loop.advance(1.0);
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(app.typeExpected());
        EXPECT_EQ(loads, 0) << "neither start-up nor right keys load the audio back end";

        ASSERT_TRUE(app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false))));
        EXPECT_EQ(loads, 1);
        ASSERT_EQ(starts->size(), 1u);
        const auto clip = SoundLibrary::named("sound_beta_2");
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(starts->front().size(), qsizetype(clip->duration() * 44100 * 2 + 0.5))
            << "the whole first error sound";
        ASSERT_TRUE(app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false))));
        EXPECT_EQ(starts->size(), 2u);
        EXPECT_EQ(loads, 1);
    }
    AudioOutput::setLoader(&AudioOutput::loadModule);
}

}  // namespace
}  // namespace wv
