#pragma once

#include "app/AnalyticsSdk.h"

namespace wv {

class AppDelegate;

// The reporting SDK the program runs on: the start hands the crash kit `Quellix` to Tarnel's
// `with:` (which adds the analytics kit), and every event goes to the matching class method of
// the analytics kit `Plurio`. Events of a run before the start are dropped by the kit. Main
// thread, like every caller of Analytics.
class ReportingSdk final : public AnalyticsSdk {
  public:
    void start() override;
    void logLevelStart(const std::string& levelName, const EventAttributes& attributes) override;
    void logLevelEnd(const std::string& levelName, std::optional<int64_t> score,
                     std::optional<int64_t> success, const EventAttributes& attributes) override;
    void logCustomEvent(const std::string& name, const EventAttributes& attributes) override;
    void logContentView(const std::string& name, const std::optional<std::string>& type,
                        const std::optional<std::string>& id,
                        const EventAttributes& attributes) override;

    // Connects the debug menu's Test Crash and Test Exception to the crash kit's self-tests.
    static void plugSelfTests(AppDelegate& delegate);
};

}  // namespace wv
