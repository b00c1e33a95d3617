#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/webkit/ScriptMessageHandler.h"

namespace wv::webkit {

// When a user script runs in a page.
enum class UserScriptInjectionTime { AtDocumentStart = 0, AtDocumentEnd = 1 };

// The name under which a user-script class would be linked in the class registry. This
// platform has no web engine that runs user scripts and links none; what a class linked
// under the name must be is UserScriptClass: it makes a script object from its source, when
// it runs and whether only the main frame gets it (empty when it cannot make one).
inline constexpr const char* kUserScriptClassName = "WKUserScript";
using UserScriptClass = std::function<std::any(const std::string& source,
                                                UserScriptInjectionTime injectionTime,
                                                bool forMainFrameOnly)>;

// The scripts and script message handlers that the web views of one configuration share.
// Safe from any thread; no lock is held while a handler runs.
class UserContentController {
  public:
    // False (and nothing changes) when a handler already has the name: one name, one handler.
    bool addScriptMessageHandler(std::shared_ptr<ScriptMessageHandler> handler, std::string name);
    void removeScriptMessageHandlerForName(std::string_view name);
    std::shared_ptr<ScriptMessageHandler> scriptMessageHandlerNamed(std::string_view name) const;

    // What a page's postMessage comes to: the handler of that name gets the message on the
    // calling thread. False when no handler has the name.
    bool postMessage(const std::string& name, std::optional<plist::Value> body);

    // Script objects made by a linked user-script class, in the order they were added.
    void addUserScript(std::any script);
    std::vector<std::any> userScripts() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<ScriptMessageHandler>, std::less<>> handlers_;
    std::vector<std::any> userScripts_;
};

}  // namespace wv::webkit
