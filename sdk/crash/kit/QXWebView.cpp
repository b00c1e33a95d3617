#include "sdk/crash/kit/QXWebView.h"

#include <any>
#include <cstddef>
#include <string>

#include "platform/foundation/ClassRegistry.h"
#include "sdk/crash/capture/QXException.h"

namespace wv {

// Compiled from QXWebViewErrorScript.js by the build.
extern const char kQXWebViewErrorScript[];
extern const size_t kQXWebViewErrorScriptSize;

std::string_view QXWebViewErrorScriptSource() {
    return std::string_view(kQXWebViewErrorScript, kQXWebViewErrorScriptSize);
}

bool QXWebViewInstallErrorScript(webkit::WebViewConfiguration& configuration) {
    const std::any linked = ClassRegistry::shared().classNamed(webkit::kUserScriptClassName);
    const auto* userScriptClass = std::any_cast<webkit::UserScriptClass>(&linked);
    if (!userScriptClass || !*userScriptClass) return false;
    const auto& controller = configuration.userContentController();
    if (!controller) return false;
    std::any script = (*userScriptClass)(std::string(QXWebViewErrorScriptSource()),
                                         webkit::UserScriptInjectionTime::AtDocumentEnd, true);
    if (!script.has_value()) return false;
    controller->addUserScript(std::move(script));
    return true;
}

bool QXWebViewRecordScriptMessage(const webkit::ScriptMessage& message) {
    if (!message.body) return false;
    const auto* body = message.body->get<plist::Dictionary>();
    if (!body) return false;
    std::string reason;
    if (const plist::Value* msg = body->find("msg"); msg && msg->is<std::string>())
        reason = *msg->get<std::string>();
    QXExceptionRecord(QXExceptionTypeJavaScript, "exception", reason.c_str(), nullptr, 0, false);
    return true;
}

}  // namespace wv
