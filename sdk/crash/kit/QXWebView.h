#pragma once

// Web-view error monitoring: a script injected into the pages of a web view configuration
// posts each JavaScript error to the script message handler named "quellix", and each such
// message is recorded as a non-fatal JavaScript exception of the run.

#include <string_view>

#include "platform/webkit/ScriptMessage.h"
#include "platform/webkit/WebViewConfiguration.h"

namespace wv {

inline constexpr const char* kQXWebViewMessageHandlerName = "quellix";

// The injected script, as compiled into the library.
std::string_view QXWebViewErrorScriptSource();

// Adds the script (at document end, main frame only) to the configuration's content
// controller. False, changing nothing, when no user-script class is linked or it makes no
// script: always so on this platform, whose web views are therefore not monitored.
bool QXWebViewInstallErrorScript(webkit::WebViewConfiguration& configuration);

// Records the body's "msg" (empty when missing or no text) as a JavaScript exception of the
// run; false, recording nothing, when the body is no dictionary.
bool QXWebViewRecordScriptMessage(const webkit::ScriptMessage& message);

}  // namespace wv
