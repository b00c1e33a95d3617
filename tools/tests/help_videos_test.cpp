// Checks the help videos the build recorded into the bundle, as ffprobe and ffmpeg read them:
// what the help's player is known to decode (H.264, 4:2:0, the page's size), a length a
// reader can follow, no sound, the index ahead of the data so playing starts at once, and
// pictures that show something and move.
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"

namespace wv {
namespace {

constexpr int kWidth = 880, kHeight = 496;

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// What a shell command wrote to its standard output; empty when it failed.
std::string output(const std::string& command) {
    std::string result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.append(buffer, n);
    if (pclose(pipe) != 0) result.clear();
    return result;
}

// ffprobe's "key=value" lines for the file's streams and container.
std::multimap<std::string, std::string> probe(const std::filesystem::path& file) {
    std::multimap<std::string, std::string> values;
    const std::string text = output(
        "ffprobe -v error -show_entries "
        "stream=codec_type,codec_name,width,height,pix_fmt:format=duration "
        "-of default=noprint_wrappers=1 " +
        quoted(file));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values.emplace(line.substr(0, equals), line.substr(equals + 1));
        start = end + 1;
    }
    return values;
}

// The frame at `seconds` as 8-bit grey pixels.
std::string greyFrame(const std::filesystem::path& file, double seconds) {
    return output("ffmpeg -v error -ss " + std::to_string(seconds) + " -i " + quoted(file) +
                  " -frames:v 1 -f rawvideo -pix_fmt gray -");
}

// The names of the top-level boxes of a QuickTime file, in order.
std::vector<std::string> topLevelBoxes(const std::filesystem::path& file) {
    std::vector<std::string> names;
    std::ifstream in(file, std::ios::binary);
    const auto total = std::filesystem::file_size(file);
    std::uint64_t at = 0;
    while (at + 8 <= total) {
        unsigned char header[16];
        in.seekg(std::streamoff(at));
        if (!in.read(reinterpret_cast<char*>(header), 8)) break;
        std::uint64_t size =
            (std::uint64_t(header[0]) << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        names.emplace_back(reinterpret_cast<char*>(header) + 4, 4);
        if (size == 1) {
            if (!in.read(reinterpret_cast<char*>(header) + 8, 8)) break;
            size = 0;
            for (int i = 8; i < 16; ++i) size = (size << 8) | header[i];
        }
        if (size < 8) break;
        at += size;
    }
    return names;
}

class HelpVideo : public ::testing::TestWithParam<int> {
  protected:
    std::filesystem::path file() const {
        return Bundle::main().root() / ("WV video " + std::to_string(GetParam()) + ".mov");
    }
};

TEST_P(HelpVideo, IsAnH264PictureOfThePagesSizeOfSixToTenSecondsWithoutSound) {
    ASSERT_TRUE(std::filesystem::is_regular_file(file())) << file();
    const auto values = probe(file());
    ASSERT_FALSE(values.empty()) << "ffprobe cannot read " << file();
    EXPECT_EQ(values.count("codec_type"), 1u) << "one stream: the picture, no sound";
    auto value = [&](const char* key) {
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    };
    EXPECT_EQ(value("codec_type"), "video");
    EXPECT_EQ(value("codec_name"), "h264");
    EXPECT_EQ(value("width"), std::to_string(kWidth));
    EXPECT_EQ(value("height"), std::to_string(kHeight));
    EXPECT_EQ(value("pix_fmt"), "yuv420p");
    const double duration = std::stod(value("duration").empty() ? "0" : value("duration"));
    EXPECT_GE(duration, 6.0);
    EXPECT_LE(duration, 10.0);
}

TEST_P(HelpVideo, KeepsItsIndexAheadOfItsPictures) {
    const auto boxes = topLevelBoxes(file());
    const auto index = std::find(boxes.begin(), boxes.end(), "moov");
    const auto data = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(index, boxes.end());
    ASSERT_NE(data, boxes.end());
    EXPECT_LT(index, data);
}

TEST_P(HelpVideo, ShowsAScreenThatChangesAsItPlays) {
    const std::string first = greyFrame(file(), 0.5), last = greyFrame(file(), 5.5);
    ASSERT_EQ(first.size(), size_t(kWidth * kHeight));
    ASSERT_EQ(last.size(), size_t(kWidth * kHeight));
    const auto [darkest, lightest] =
        std::minmax_element(first.begin(), first.end(), [](char a, char b) {
            return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
        });
    EXPECT_GT(static_cast<unsigned char>(*lightest) - static_cast<unsigned char>(*darkest), 100)
        << "the picture is blank";
    size_t changed = 0;
    for (size_t i = 0; i < first.size(); ++i)
        changed += std::abs(int(static_cast<unsigned char>(first[i])) -
                            int(static_cast<unsigned char>(last[i]))) > 24;
    EXPECT_GT(changed, first.size() / 200) << "nothing moved in five seconds";
}

INSTANTIATE_TEST_SUITE_P(Pages, HelpVideo, ::testing::Values(1, 2, 3),
                         [](const auto& info) { return "Page" + std::to_string(info.param); });

}  // namespace
}  // namespace wv
