#pragma once

// A run of the analytics kit for one test: a host application with its own SDK core, the kit's
// root in the test's folder, and readers for the event files the kit leaves there.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "AnalyticsFixtures.h"
#include "EventFilesFixtures.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/analytics/PLRPlurioController.h"
#include "sdk/core/TRNSettingsOnboardingManager.h"
#include "sdk/core/Tarnel.h"
#include "sdk/core/testing/UploadTesting.h"

namespace wv::testing {

// One line of an event file: its name and its JSON.
struct StoredLine {
    std::string name;
    nlohmann::json payload;
};

// The lines of a log, of a compressed log or of a packaged body, in order.
inline std::vector<StoredLine> readEventFile(const std::filesystem::path& path) {
    std::string text = readFile(path);
    const std::string extension = path.extension().string();
    if (extension == ".multipartmime") {
        const std::string boundary = path.stem().string();
        const size_t type = text.find("Content-Type:");
        const size_t start = text.find("\r\n\r\n", type);
        const size_t end = text.rfind("\r\n--" + boundary + "--");
        if (type == std::string::npos || start == std::string::npos || end == std::string::npos ||
            end < start + 4) {
            ADD_FAILURE() << "not a packaged body: " << path;
            return {};
        }
        text = wv::test::gunzip(text.substr(start + 4, end - start - 4));
    } else if (extension == ".gz") {
        text = wv::test::gunzip(text);
    }
    std::vector<StoredLine> lines;
    for (const auto& line : splitLines(text)) {
        const auto f = splitFields(line);
        if (f.size() != 4) {
            ADD_FAILURE() << "bad line in " << path << ": " << line;
            continue;
        }
        lines.push_back({f[1], nlohmann::json::parse(f[3])});
    }
    return lines;
}

// The names of a file's lines.
inline std::vector<std::string> lineNames(const std::vector<StoredLine>& lines) {
    std::vector<std::string> names;
    for (const auto& l : lines) names.push_back(l.name);
    return names;
}

// The label an event carries for the tests: a custom event's type, a predefined event's type,
// else the line's name.
inline std::string label(const StoredLine& line) {
    if (line.payload.contains("custom_type")) return line.payload["custom_type"];
    if (line.payload.contains("predefined_type")) return line.payload["predefined_type"];
    return line.name;
}

class KitRun {
  public:
    explicit KitRun(plist::Dictionary info = HostRun::info())
        : host_(info), root_(host_.root() / "kit") {}

    Tarnel& sdk() { return host_.tarnel(); }
    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path eventsDir() const { return root_ / "events"; }

    // The SDK core's stored settings, as a download would leave them.
    void setSettings(const nlohmann::json& settings) {
        sdk().settingsAndOnboardingManager()->settingsModel()->setSettingsDictionary(
            std::make_shared<const nlohmann::json>(settings));
    }
    void postSettingsAvailable() {
        NotificationCenter::defaultCenter().post(Tarnel::kSettingsAvailableNotification);
    }

    // Files of the events folder with that extension ("log", "multipartmime"), by name.
    std::vector<std::filesystem::path> files(const std::string& extension) const {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(eventsDir(), ec))
            if (e.path().extension() == "." + extension) found.push_back(e.path());
        std::sort(found.begin(), found.end());
        return found;
    }
    std::vector<std::filesystem::path> allFiles() const {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(eventsDir(), ec))
            found.push_back(e.path());
        return found;
    }
    // Every event stored in any file of the folder, by label, counted.
    std::map<std::string, int> storedEventCounts() const {
        std::map<std::string, int> counts;
        for (const auto& f : allFiles()) {
            const auto lines = readEventFile(f);
            for (size_t i = 1; i < lines.size(); ++i) ++counts[label(lines[i])];
        }
        return counts;
    }
    // The packaged bodies, each as the labels of its events (the metadata line left out).
    std::vector<std::vector<std::string>> bodies() const {
        std::vector<std::vector<std::string>> out;
        for (const auto& f : files("multipartmime")) {
            std::vector<std::string> labels;
            const auto lines = readEventFile(f);
            for (size_t i = 1; i < lines.size(); ++i) labels.push_back(label(lines[i]));
            out.push_back(labels);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

  private:
    HostRun host_;
    std::filesystem::path root_;
};

// Waits for the controller's queue with a deadline no loaded machine reaches.
inline void waitIdle(PLRPlurioController& controller) {
    ASSERT_TRUE(controller.waitUntilEventQueueIdle(std::chrono::seconds(30)));
}

// Appends one well-formed line so that the file is exactly `size` bytes long.
inline void padLogTo(const std::filesystem::path& log, size_t size) {
    const size_t current = std::filesystem::exists(log) ? std::filesystem::file_size(log) : 0;
    ASSERT_GT(size, current + 40) << "the log is already too long to pad";
    const std::string head = "1\tpad\t";
    for (size_t fill = 0;; ++fill) {
        const std::string json = "{\"p\":\"" + std::string(fill, 'x') + "\"}";
        const std::string line = head + std::to_string(json.size()) + "\t" + json + "\n";
        if (current + line.size() == size) {
            std::ofstream(log, std::ios::app | std::ios::binary) << line;
            return;
        }
        ASSERT_LT(current + line.size(), size) << "cannot pad to exactly " << size;
    }
}

}  // namespace wv::testing
