#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/ui/VideoBackend.h"

namespace wv::test {

// A video back end whose streams do only what the test tells them: every open is written
// down, and the test delivers frames, ends and failures itself.
class ScriptedVideoBackend final : public VideoBackend {
  public:
    struct Stream final : VideoStream {
        std::filesystem::path file;
        Events events;
        int plays = 0;
        bool playing = false;
        int64_t position_ = 0;
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        ~Stream() override { *alive = false; }
        void play() override {
            ++plays;
            playing = true;
        }
        void pause() override { playing = false; }
        void stop() override { playing = false; }
        void setPosition(int64_t ms) override { position_ = ms; }
        int64_t position() const override { return position_; }
        int64_t duration() const override { return 8000; }
        bool isPlaying() const override { return playing; }
        bool isStopped() const override { return !playing; }
    };
    struct Opened {
        std::filesystem::path file;
        Stream* stream;
        std::shared_ptr<bool> alive;
    };

    std::unique_ptr<VideoStream> open(const std::filesystem::path& file,
                                      VideoStream::Events events) override {
        auto stream = std::make_unique<Stream>();
        stream->file = file;
        stream->events = std::move(events);
        opened->push_back({file, stream.get(), stream->alive});
        return stream;
    }

    std::shared_ptr<std::vector<Opened>> opened = std::make_shared<std::vector<Opened>>();

    // Installs a scripted back end for what follows; returns the list of its opens.
    static std::shared_ptr<std::vector<Opened>> install() {
        auto backend = std::make_unique<ScriptedVideoBackend>();
        auto list = backend->opened;
        auto shared = std::make_shared<std::unique_ptr<ScriptedVideoBackend>>(std::move(backend));
        VideoBackend::setLoader(
            [shared]() -> std::unique_ptr<VideoBackend> { return std::move(*shared); });
        return list;
    }
};

// A bundle folder of the test's own: the real bundle's files, linked, and the videos the test
// names. It is the main bundle while it lives.
class VideoBundle {
  public:
    explicit VideoBundle(const std::vector<int>& videos) {
        char pattern[] = "/tmp/wv-help-bundle-XXXXXX";
        root_ = mkdtemp(pattern);
        const std::filesystem::path real = Bundle::main().root();
        for (const auto& entry : std::filesystem::directory_iterator(real)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("WV video ", 0) == 0) continue;
            std::filesystem::create_symlink(entry.path(), root_ / name);
        }
        for (int video : videos) writeVideo(video, "not really a video");
        scoped_ = std::make_unique<ScopedMainBundle>(root_);
    }
    ~VideoBundle() {
        scoped_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::filesystem::path videoPath(int video) const {
        return root_ / ("WV video " + std::to_string(video) + ".mov");
    }
    void writeVideo(int video, const std::string& bytes) const {
        FILE* file = fopen(videoPath(video).c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
    const std::filesystem::path& root() const { return root_; }

  private:
    std::filesystem::path root_;
    std::unique_ptr<ScopedMainBundle> scoped_;
};

}  // namespace wv::test

namespace wv::test {

// Makes an H.264 clip from one of ffmpeg's generated sources (such as
// "color=c=0xff0000:size=64x48:rate=30:duration=0.5"); false when ffmpeg failed.
inline bool makeClip(const std::filesystem::path& file, const std::string& source) {
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i " + source +
                                " -c:v libx264 -pix_fmt yuv420p -movflags +faststart '" +
                                file.string() + "'";
    std::error_code ec;
    return std::system(command.c_str()) == 0 && std::filesystem::file_size(file, ec) > 0;
}

}  // namespace wv::test
