#pragma once

#include <string>

namespace wv {

// The desktop around the application.
class Workspace {
public:
    // Opens a web or mail address with the desktop's handler; false when none took it.
    static bool openURL(const std::string& url);
};

}  // namespace wv
