#include "platform/ui/Player.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/PlayerView.h"
#include "platform/ui/VideoBackend.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

namespace fs = std::filesystem;

// How long a wait for a player's event may last before the test gives up. The waits end as
// soon as the event comes; the limit only has to outlast decoding on a loaded machine.
constexpr double kPatience = 60.0;

// A folder of its own for the suite, with a half-second pure red H.264 clip made by ffmpeg.
class PlayerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        test::application();
        char pattern[] = "/tmp/wv-player-XXXXXX";
        folder_ = mkdtemp(pattern);
        clip_ = folder_ / "clip.mov";
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i "
            "color=c=0xff0000:size=64x48:rate=30:duration=0.5 "
            "-c:v libx264 -pix_fmt yuv420p -movflags +faststart '" +
            clip_.string() + "'";
        clipMade_ = std::system(command.c_str()) == 0 && fs::file_size(clip_) > 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    void SetUp() override { ASSERT_TRUE(clipMade_) << "ffmpeg could not make the test clip"; }
    void TearDown() override {
        for (auto token : tokens_) NotificationCenter::defaultCenter().removeObserver(token);
        MainQueue::shared().clear();
    }

    // Turns the Qt event loop and the main queue until `done` or `seconds` of real time.
    static bool pumpUntil(const std::function<bool()>& done, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            MainQueue::shared().runDue();
            if (done()) return true;
        }
        return false;
    }

    // Follows the player's notices the way a looping caller does: an end that showed frames
    // restarts it from the start, one that showed none does not.
    void observe(Player& player) {
        auto& center = NotificationCenter::defaultCenter();
        tokens_.push_back(center.addObserver(std::string(kPlayerItemDidPlayToEndTimeNotification),
                                             &player, [this, &player](const Notification& n) {
                                                 const int frames =
                                                     std::any_cast<int>(n.userInfo.at("frames"));
                                                 ends_.push_back(frames);
                                                 if (frames > 0) {
                                                     player.seek(0);
                                                     player.play();
                                                     ++restarts_;
                                                 }
                                             }));
        tokens_.push_back(center.addObserver(
            std::string(kPlayerItemFailedToPlayToEndTimeNotification), &player,
            [this](const Notification& n) {
                failures_.push_back(std::any_cast<Error>(n.userInfo.at("error")));
            }));
    }

    static inline fs::path folder_;
    static inline fs::path clip_;
    static inline bool clipMade_ = false;
    std::vector<NotificationCenter::ObserverToken> tokens_;
    std::vector<int> ends_;
    std::vector<Error> failures_;
    int restarts_ = 0;
};

bool isRed(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60 && qAlpha(pixel) == 255;
}

TEST_F(PlayerTest, AClipLoopsWithFramesEveryTimeWhenRestartedFromTheEndNotice) {
    Player player(clip_);
    observe(player);
    player.play();
    EXPECT_TRUE(pumpUntil([&] { return ends_.size() >= 3; }, kPatience))
        << "ends seen: " << ends_.size();
    ASSERT_GE(ends_.size(), 3u);
    for (size_t i = 0; i < ends_.size(); ++i)
        EXPECT_GT(ends_[i], 0) << "pass " << i << " showed no frame";
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(player.status(), Player::Status::ReadyToPlay);
    EXPECT_FALSE(player.error().has_value());
    EXPECT_GE(player.framesShown(), long(ends_[0] + ends_[1] + ends_[2]));
    ASSERT_FALSE(player.currentImage().isNull());
    EXPECT_EQ(player.currentImage().size(), QSize(64, 48));
    EXPECT_TRUE(isRed(player.currentImage().pixel(32, 24)));
}

TEST_F(PlayerTest, TheEndNoticeWaitsForTheNextTurnOfTheMainQueue) {
    Player player(clip_);
    bool ended = false;
    bool queueTurned = false;
    tokens_.push_back(NotificationCenter::defaultCenter().addObserver(
        std::string(kPlayerItemDidPlayToEndTimeNotification), &player,
        [&](const Notification&) { ended = true; }));
    player.play();
    // Events alone, without turning the main queue, never deliver the notice.
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(kPatience);
    while (std::chrono::steady_clock::now() < end && !queueTurned) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        queueTurned = !MainQueue::shared().empty() && !player.isPlaying();
    }
    ASSERT_TRUE(queueTurned) << "the clip did not reach its end";
    EXPECT_FALSE(ended);
    MainQueue::shared().runDue();
    EXPECT_TRUE(ended);
    EXPECT_GT(player.framesSinceStart(), 0);
    EXPECT_FALSE(player.currentImage().isNull()) << "the last frame stays after the end";
}

TEST_F(PlayerTest, TheViewPaintsTheLatestFrameAsAnyViewPaintsItsContent) {
    View root(Rect(0, 0, 200, 100));
    auto* view = new PlayerView(Rect(50, 25, 100, 50));
    root.addSubview(view);
    auto player = std::make_shared<Player>(clip_);
    view->setPlayer(player);
    EXPECT_FALSE(isRed(root.snapshot().pixel(100, 50))) << "nothing before the first frame";
    player->play();
    ASSERT_TRUE(pumpUntil([&] { return player->framesShown() > 0; }, kPatience));

    const QImage shown = root.snapshot();
    EXPECT_TRUE(isRed(shown.pixel(100, 50))) << "the frame fills the view";
    // 64 x 48 fitted into 100 x 50: 66.7 x 50, centred, from x = 66.7 to 133.3 of the root.
    EXPECT_TRUE(isRed(shown.pixel(68, 26)));
    EXPECT_TRUE(isRed(shown.pixel(132, 74)));
    EXPECT_EQ(qAlpha(shown.pixel(62, 50)), 0) << "the picture keeps its proportions";
    EXPECT_EQ(qAlpha(shown.pixel(20, 50)), 0) << "nothing outside the view";

    view->setAlphaValue(0.5);
    const QRgb half = root.snapshot().pixel(100, 50);
    EXPECT_GT(qAlpha(half), 100);
    EXPECT_LT(qAlpha(half), 160);
    view->setAlphaValue(1.0);

    view->setHidden(true);
    EXPECT_EQ(qAlpha(root.snapshot().pixel(100, 50)), 0) << "a hidden player view shows nothing";
    view->setHidden(false);

    view->setPlayer(nullptr);
    EXPECT_EQ(qAlpha(root.snapshot().pixel(100, 50)), 0) << "without a player the view is empty";
    EXPECT_EQ(player.use_count(), 1) << "the view let go of the player";
}

enum class BadVideo { Missing, Truncated, RandomBytes, Empty, Folder };

TEST_F(PlayerTest, AnUnplayableFileFailsOrEndsWithoutAFrameAndIsNeverRestarted) {
    const struct {
        BadVideo kind;
        const char* name;
    } cases[] = {{BadVideo::Missing, "missing"},
                 {BadVideo::Truncated, "truncated"},
                 {BadVideo::RandomBytes, "random bytes"},
                 {BadVideo::Empty, "empty"},
                 {BadVideo::Folder, "folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder_ / (std::string("WV video ") + c.name + ".mov");
        switch (c.kind) {
            case BadVideo::Missing:
                break;
            case BadVideo::Truncated: {
                // The whole header and a third of the picture data, cut mid-sample.
                std::ifstream in(clip_, std::ios::binary);
                std::string bytes((std::istreambuf_iterator<char>(in)), {});
                const size_t data = bytes.find("mdat");
                ASSERT_NE(data, std::string::npos);
                ASSERT_LT(bytes.find("moov"), data) << "the header comes first";
                std::ofstream(path, std::ios::binary)
                    << bytes.substr(0, data + (bytes.size() - data) / 3);
                break;
            }
            case BadVideo::RandomBytes: {
                std::mt19937 random(7);
                std::ofstream out(path, std::ios::binary);
                for (int i = 0; i < 8192; ++i) out.put(char(random()));
                break;
            }
            case BadVideo::Empty:
                std::ofstream(path, std::ios::binary).flush();
                break;
            case BadVideo::Folder:
                fs::create_directories(path);
                break;
        }
        ends_.clear();
        failures_.clear();
        restarts_ = 0;
        {
            PlayerView view(Rect(0, 0, 64, 48));
            auto player = std::make_shared<Player>(path);
            view.setPlayer(player);
            observe(*player);
            player->play();
            const bool outcome =
                pumpUntil([&] { return !ends_.empty() || !failures_.empty(); }, kPatience);
            EXPECT_TRUE(outcome) << "the caller never learnt that nothing plays";
            // Settled: nothing plays and no notice waits; a loop would show itself as a second
            // notice or as playing again.
            EXPECT_TRUE(pumpUntil(
                [&] { return !player->isPlaying() && MainQueue::shared().empty(); }, kPatience));

            EXPECT_EQ(player->framesShown(), 0);
            EXPECT_EQ(restarts_, 0);
            EXPECT_LE(ends_.size() + failures_.size(), 1u) << "one notice, not a stream of them";
            for (int frames : ends_) EXPECT_EQ(frames, 0);
            if (!failures_.empty()) {
                EXPECT_EQ(player->status(), Player::Status::Failed);
                ASSERT_TRUE(player->error().has_value());
                EXPECT_EQ(player->error()->domain, Player::kErrorDomain);
                EXPECT_EQ(failures_[0].code, player->error()->code);
                EXPECT_FALSE(player->error()->localizedDescription().empty());
            }
            EXPECT_EQ(qAlpha(view.snapshot().pixel(32, 24)), 0);
            // A failed player ignores being asked again.
            if (player->status() == Player::Status::Failed) {
                player->play();
                EXPECT_FALSE(player->isPlaying());
            }
            for (auto token : tokens_) NotificationCenter::defaultCenter().removeObserver(token);
            tokens_.clear();
        }
    }
}

// Whether a shared library whose file name starts with `name` is mapped into this process.
bool isMapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("/" + name) != std::string::npos) return true;
    return false;
}

TEST_F(PlayerTest, TheBackEndIsMappedByTheFirstVideoAndNotBefore) {
    if (VideoBackend::isLoaded()) GTEST_SKIP() << "an earlier test of this process loaded it";
    EXPECT_FALSE(isMapped("libQt6Multimedia.so"));
    {
        Player missing(folder_ / "absent.mov");
        EXPECT_EQ(missing.status(), Player::Status::Failed);
    }
    EXPECT_FALSE(VideoBackend::isLoaded()) << "a missing file needs no decoder";
    EXPECT_FALSE(isMapped("libQt6Multimedia.so"));
    Player player(clip_);
    EXPECT_TRUE(VideoBackend::isLoaded());
    EXPECT_TRUE(isMapped("libQt6Multimedia.so"));
    EXPECT_TRUE(isMapped("video.so"));
}

TEST_F(PlayerTest, WithoutABackEndAnExistingFileFailsOnce) {
    int loads = 0;
    VideoBackend::setLoader([&loads]() -> std::unique_ptr<VideoBackend> {
        ++loads;
        return nullptr;
    });
    for (int i = 0; i < 2; ++i) {
        Player player(clip_);
        observe(player);
        EXPECT_EQ(player.status(), Player::Status::Failed);
        ASSERT_TRUE(player.error().has_value());
        EXPECT_NE(player.error()->localizedDescription().find(clip_.string()), std::string::npos);
        player.play();
        EXPECT_FALSE(player.isPlaying());
        MainQueue::shared().runDue();
        for (auto token : tokens_) NotificationCenter::defaultCenter().removeObserver(token);
        tokens_.clear();
    }
    EXPECT_EQ(failures_.size(), 2u) << "one failure notice per player";
    EXPECT_EQ(loads, 1) << "loading is tried once";
    VideoBackend::setLoader(&VideoBackend::loadModule);
}

TEST_F(PlayerTest, AMissingFileOrAFolderIsAnErrorNamingIt) {
    for (const fs::path& path : {folder_ / "WV video 9.mov", folder_}) {
        SCOPED_TRACE(path.string());
        Player player(path);
        EXPECT_EQ(player.status(), Player::Status::Failed);
        ASSERT_TRUE(player.error().has_value());
        EXPECT_NE(player.error()->localizedDescription().find(path.string()), std::string::npos);
    }
}

TEST_F(PlayerTest, NoNoticeReachesAPlayerThatIsGone) {
    bool noticed = false;
    auto player = std::make_unique<Player>(folder_ / "absent.mov");
    const void* sender = player.get();
    tokens_.push_back(NotificationCenter::defaultCenter().addObserver(
        std::string(kPlayerItemFailedToPlayToEndTimeNotification), sender,
        [&](const Notification&) { noticed = true; }));
    ASSERT_FALSE(MainQueue::shared().empty()) << "the failure notice waits on the queue";
    player.reset();
    MainQueue::shared().runDue();
    EXPECT_FALSE(noticed);
}

}  // namespace
}  // namespace wv
