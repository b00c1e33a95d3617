#pragma once

#include <memory>
#include <string>

#include "platform/webkit/UserContentController.h"

namespace wv::webkit {

// What a web view is made with; here only the content controller its pages talk to.
class WebViewConfiguration {
  public:
    WebViewConfiguration() : userContentController_(std::make_shared<UserContentController>()) {}

    const std::shared_ptr<UserContentController>& userContentController() const {
        return userContentController_;
    }
    void setUserContentController(std::shared_ptr<UserContentController> controller) {
        userContentController_ = std::move(controller);
    }

    // "<WebViewConfiguration: 0x...>", how logs name the object.
    std::string description() const;

  private:
    std::shared_ptr<UserContentController> userContentController_;
};

}  // namespace wv::webkit
