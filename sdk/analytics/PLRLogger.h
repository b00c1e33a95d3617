#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace wv {

// The analytics kit's debug lines: tagged "[Plurio]" and written to the system log only in
// debug mode. Safe from any thread; the switch is read once per line.
class PLRLogger {
  public:
    static PLRLogger& sharedLogger();

    bool debugMode() const { return debugMode_.load(); }
    void setDebugMode(bool on) { debugMode_.store(on); }

    // "[Plurio] " and the text.
    void log(std::string_view text);
    // "[Plurio:<label>] " and the text.
    void logWithLabel(std::string_view label, std::string_view text);

  private:
    void internalLog(const std::string& line);
    std::atomic<bool> debugMode_{false};
};

}  // namespace wv
