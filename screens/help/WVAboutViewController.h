#pragma once

#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

namespace wv::screens {

// The about screen: the application's name, its version and three picture buttons that hand
// the product's two pages and the feedback address to the desktop. The buttons take no focus,
// so no focus ring is ever drawn around them. Main thread only.
class WVAboutViewController : public ViewController {
  public:
    static constexpr const char* kFacebookURL = "https://www.facebook.com/wovanutyping";
    static constexpr const char* kBalvikURL = "https://balvik.com/wovanutyping";
    static constexpr const char* kFeedbackEmail = "feedback@wovanu.com";
    static constexpr Size kContentSize{360, 280};

    void viewDidLoad() override;

    void facebookButtonPressed();
    void balvikButtonPressed();
    void emailButtonPressed();

    TextField* version = nullptr;
    TextField* name = nullptr;
    Button* btnFB = nullptr;
    Button* btnBalvik = nullptr;
    Button* btnMail = nullptr;

    // Makes the about screen the storyboard's "aboutController". Call once at start-up.
    static void registerWithStoryboard();

  protected:
    void loadView() override;
};

}  // namespace wv::screens
