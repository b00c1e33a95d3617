// wovanu-cloud-peer: one installation without a window. The data folder, the cloud folder or
// server and the account come from the environment as for the application (XDG_DATA_HOME,
// WOVANU_CLOUD_FOLDER or WOVANU_CLOUD_SERVER, WOVANU_CLOUD_ACCOUNT). It loads the settings,
// finishes --lines lines (one every --every seconds, speeds counting up from --speed),
// optionally switches the speed unit to words per minute (--wpm), and runs the main queue
// until --run seconds after its last line and after the end of its first synchronisation
// (waited for at most 60 s), so a slow machine does not end it before it has synchronised.
// Every line the program prints goes to standard output, flushed at once, so a test can
// follow it and kill it at any moment.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "cloud/CloudServices.h"
#include "engine/LessonsStatsDBTable.h"
#include "engine/Model.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"

namespace {

// How long the program waits for its first synchronisation to end before it goes on.
constexpr double kSynchronisationWait = 60.0;

struct Options {
    int lines = 0;
    double every = 0.05;
    int speed = 100;
    double run = 3.0;
    bool wpm = false;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--lines" && hasValue) {
            options.lines = std::atoi(argv[++i]);
        } else if (arg == "--every" && hasValue) {
            options.every = std::atof(argv[++i]);
        } else if (arg == "--speed" && hasValue) {
            options.speed = std::atoi(argv[++i]);
        } else if (arg == "--run" && hasValue) {
            options.run = std::atof(argv[++i]);
        } else if (arg == "--wpm") {
            options.wpm = true;
        } else {
            std::cerr << "usage: wovanu-cloud-peer [--lines N] [--every SECONDS] [--speed CPM]"
                         " [--run SECONDS] [--wpm]\n";
            return false;
        }
    }
    return true;
}

// Runs the main queue until `until` on the clock.
void runUntil(double until) {
    auto& queue = wv::MainQueue::shared();
    for (;;) {
        queue.runDue();
        const double now = wv::Clock::current().now();
        if (now >= until) return;
        double wait = until - now;
        if (auto due = queue.nextDueTime()) wait = std::min(wait, std::max(0.0, *due - now));
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(wait, 0.005)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;
    std::atomic<bool> synchronised = false;
    wv::Log::setSink([&synchronised](wv::LogChannel, std::string_view line) {
        if (line == "WVCloud synchronization complete") synchronised = true;
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });

    wv::Model model(wv::CloudServices::forProgram());
    model.loadConfig();
    wv::CloudServices::registerForRemoteNotifications([&model](const wv::plist::Dictionary&) {
        wv::Log::print("PUSH NOTIFICATION");
        model.cloud().fetchChanges();
    });
    if (options.wpm) {
        model.config().setSpeedType(wv::SpeedType::WPM);
        model.config().notifyChange(wv::ConfigUpdate::Normal);
    }

    auto& clock = wv::Clock::current();
    for (int i = 0; i < options.lines; ++i) {
        runUntil(clock.now() + options.every);
        const auto& lang = model.langRoot().getLang(model.config().language());
        auto row =
            wv::LessonsStatsDBTable::rowDictionary(10.0 + i, options.speed + i, "", 100, lang);
        if (auto id = model.stats().addLesson(row, true)) {
            wv::Log::print("PEER line stored " + std::to_string(*id));
        } else {
            wv::Log::print("PEER line not stored");
        }
    }
    const double latest = clock.now() + kSynchronisationWait;
    while (!synchronised && clock.now() < latest) runUntil(clock.now() + 0.01);
    runUntil(clock.now() + options.run);
    wv::Log::print("PEER done");
    std::fflush(stdout);
    // The hub and the cloud live until the process ends, as in the application.
    std::_Exit(0);
}
