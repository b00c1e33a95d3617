#pragma once

#include "platform/webkit/ScriptMessage.h"

namespace wv::webkit {

class UserContentController;

// Receives the messages a page posts under the name the handler was added with. Called on the
// thread that delivers the page's message.
class ScriptMessageHandler {
  public:
    virtual ~ScriptMessageHandler() = default;
    virtual void userContentControllerDidReceiveScriptMessage(UserContentController& controller,
                                                              const ScriptMessage& message) = 0;
};

}  // namespace wv::webkit
