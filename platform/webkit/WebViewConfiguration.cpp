#include "platform/webkit/WebViewConfiguration.h"

#include <cstdio>

namespace wv::webkit {

std::string WebViewConfiguration::description() const {
    char text[64];
    std::snprintf(text, sizeof text, "<WebViewConfiguration: %p>", static_cast<const void*>(this));
    return text;
}

}  // namespace wv::webkit
