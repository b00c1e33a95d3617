#pragma once

namespace wv {

// Runs the main queue (platform/dispatch) on the Qt event loop: blocks added from any thread
// wake the loop, and a single-shot Qt timer waits for the next due block. Installed once by
// the application, after its QApplication exists.
class MainLoop {
public:
    static void install();
    static bool isInstalled();
    static void uninstall();
};

}  // namespace wv
