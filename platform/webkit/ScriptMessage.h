#pragma once

#include <optional>
#include <string>

#include "platform/plist/Value.h"

namespace wv::webkit {

// What a page's script posted through window.webkit.messageHandlers.<name>.postMessage(body).
// The body crosses from the page as a property-list value (objects become dictionaries,
// arrays arrays, numbers, strings, booleans and dates their own kinds); null and undefined
// arrive as no body.
struct ScriptMessage {
    std::string name;
    std::optional<plist::Value> body;
};

}  // namespace wv::webkit
