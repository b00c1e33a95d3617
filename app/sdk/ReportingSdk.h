#pragma once

#include <memory>

#include "app/AnalyticsSdk.h"

namespace wv {

class AppDelegate;

// The reporting SDK the program runs on: the start hands the crash kit `Quellix` to Tarnel's
// `with:` (which adds the analytics kit), and every event goes to the matching class method of
// the analytics kit `Plurio`. Main thread, like every caller of Analytics.
//
// The SDK's own start (files, threads, the crash context) would hold up the first picture of
// the window, so start() only asks for it: it runs right after the first paint, or earlier
// when the program is about to become active or to quit (the kits must see those notices),
// or a second later at the latest. Events logged in between wait here and go to the kit in
// order once it runs.
class ReportingSdk final : public AnalyticsSdk {
  public:
    static constexpr double kLatestStart = 1.0;  // seconds after start()

    ReportingSdk();
    ~ReportingSdk() override;
    void start() override;
    void applicationWillTerminate() override;
    void logLevelStart(const std::string& levelName, const EventAttributes& attributes) override;
    void logLevelEnd(const std::string& levelName, std::optional<int64_t> score,
                     std::optional<int64_t> success, const EventAttributes& attributes) override;
    void logCustomEvent(const std::string& name, const EventAttributes& attributes) override;
    void logContentView(const std::string& name, const std::optional<std::string>& type,
                        const std::optional<std::string>& id,
                        const EventAttributes& attributes) override;

    // Connects the debug menu's Test Crash and Test Exception to the crash kit's self-tests.
    static void plugSelfTests(AppDelegate& delegate);

  private:
    struct Pending;
    std::shared_ptr<Pending> pending_;
};

}  // namespace wv
