#include "platform/webkit/UserContentController.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/webkit/WebViewConfiguration.h"

namespace wv::webkit {
namespace {

class RecordingHandler : public ScriptMessageHandler {
  public:
    void userContentControllerDidReceiveScriptMessage(UserContentController& controller,
                                                      const ScriptMessage& message) override {
        controllers.push_back(&controller);
        messages.push_back(message);
        if (onMessage) onMessage(controller);
    }
    std::vector<UserContentController*> controllers;
    std::vector<ScriptMessage> messages;
    std::function<void(UserContentController&)> onMessage;
};

TEST(UserContentControllerTest, APostedMessageReachesTheHandlerOfItsNameWithItsBody) {
    WebViewConfiguration configuration;
    auto& controller = *configuration.userContentController();
    auto first = std::make_shared<RecordingHandler>();
    auto second = std::make_shared<RecordingHandler>();
    ASSERT_TRUE(controller.addScriptMessageHandler(first, "first"));
    ASSERT_TRUE(controller.addScriptMessageHandler(second, "second"));

    plist::Dictionary body;
    body.set("msg", plist::Value("boom"));
    body.set("line", plist::Value(int64_t{3}));
    EXPECT_TRUE(controller.postMessage("second", plist::Value(body)));
    EXPECT_TRUE(first->messages.empty());
    ASSERT_EQ(second->messages.size(), 1u);
    EXPECT_EQ(second->messages[0].name, "second");
    EXPECT_EQ(second->messages[0].body, plist::Value(body));
    EXPECT_EQ(second->controllers[0], &controller);

    EXPECT_FALSE(controller.postMessage("nobody", plist::Value("lost")));
}

TEST(UserContentControllerTest, ANameTakesOneHandlerUntilItIsRemoved) {
    UserContentController controller;
    auto first = std::make_shared<RecordingHandler>();
    auto second = std::make_shared<RecordingHandler>();
    ASSERT_TRUE(controller.addScriptMessageHandler(first, "quellix"));
    EXPECT_FALSE(controller.addScriptMessageHandler(second, "quellix"));
    EXPECT_EQ(controller.scriptMessageHandlerNamed("quellix"), first);

    controller.removeScriptMessageHandlerForName("quellix");
    EXPECT_EQ(controller.scriptMessageHandlerNamed("quellix"), nullptr);
    EXPECT_FALSE(controller.postMessage("quellix", std::nullopt));
    EXPECT_TRUE(controller.addScriptMessageHandler(second, "quellix"));
}

TEST(UserContentControllerTest, AHandlerMayRemoveItselfWhileItRuns) {
    UserContentController controller;
    auto handler = std::make_shared<RecordingHandler>();
    std::weak_ptr<RecordingHandler> weak = handler;
    handler->onMessage = [](UserContentController& c) {
        c.removeScriptMessageHandlerForName("once");
    };
    ASSERT_TRUE(controller.addScriptMessageHandler(std::move(handler), "once"));
    EXPECT_TRUE(controller.postMessage("once", std::nullopt));
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(controller.postMessage("once", std::nullopt));
}

}  // namespace
}  // namespace wv::webkit
