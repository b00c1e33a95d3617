#include "platform/webkit/UserContentController.h"

namespace wv::webkit {

bool UserContentController::addScriptMessageHandler(std::shared_ptr<ScriptMessageHandler> handler,
                                                    std::string name) {
    if (!handler) return false;
    std::lock_guard lock(mutex_);
    return handlers_.emplace(std::move(name), std::move(handler)).second;
}

void UserContentController::removeScriptMessageHandlerForName(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (auto it = handlers_.find(name); it != handlers_.end()) handlers_.erase(it);
}

std::shared_ptr<ScriptMessageHandler> UserContentController::scriptMessageHandlerNamed(
    std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto it = handlers_.find(name);
    return it == handlers_.end() ? nullptr : it->second;
}

bool UserContentController::postMessage(const std::string& name, std::optional<plist::Value> body) {
    // Held while it runs, so that a handler removing itself does not end its own life.
    auto handler = scriptMessageHandlerNamed(name);
    if (!handler) return false;
    handler->userContentControllerDidReceiveScriptMessage(*this,
                                                          ScriptMessage{name, std::move(body)});
    return true;
}

void UserContentController::addUserScript(std::any script) {
    std::lock_guard lock(mutex_);
    userScripts_.push_back(std::move(script));
}

std::vector<std::any> UserContentController::userScripts() const {
    std::lock_guard lock(mutex_);
    return userScripts_;
}

}  // namespace wv::webkit
