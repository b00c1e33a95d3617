#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Player.h"
#include "platform/ui/PlayerView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "storage/Localizable.h"

namespace wv::screens {

// The help window's content: five pages over a gradient backdrop, one player view shared by
// the three help pages, the Next and close buttons. Next slides the next page in from the
// right over half a second while the page's video starts; the videos loop. Main thread only.
class WVHelpController : public ViewController, public Localizable {
  public:
    enum class screenId { start = 0, first = 1, second = 2, third = 3, subscribe = 4 };

    static constexpr double kSlideDuration = 0.5;
    static constexpr double kSlideDistance = 1100;
    static constexpr Size kContentSize{880, 700};

    WVHelpController();
    ~WVHelpController() override;

    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewWillDisappear() override;

    void closePressed();
    void nextButtonClicked();
    void localizeCaptions() override;

    screenId currentScreen() const { return currentScreen_; }
    void setCurrentScreen(screenId screen);
    View* currentView() const { return currentView_; }
    const std::shared_ptr<Player>& player() const { return player_; }

    // How many times a video was started again at its end (the loop).
    int restarts() const { return restarts_; }

    // Outlets.
    Button* closeButton = nullptr;
    View* startView = nullptr;
    View* firstView = nullptr;
    View* secondView = nullptr;
    View* thirdView = nullptr;
    View* subscribeView = nullptr;
    PlayerView* playerView = nullptr;
    TextField* subscribeTextField = nullptr;
    Button* helpNext = nullptr;
    TextField* helpPage1of3 = nullptr;
    TextField* helpPage2of3 = nullptr;
    TextField* helpPage3of3 = nullptr;
    TextField* helpTitle0 = nullptr;
    TextField* helpDesc0 = nullptr;
    TextField* helpTitle1 = nullptr;
    TextField* helpDesc1 = nullptr;
    TextField* helpTitle2 = nullptr;
    TextField* helpDesc2 = nullptr;
    TextField* helpTitle3 = nullptr;
    TextField* helpDesc3 = nullptr;
    TextField* helpStayTouchTitle = nullptr;
    TextField* helpStayTouchDesc = nullptr;
    TextField* helpEmail = nullptr;
    Button* helpSubscribe = nullptr;
    Button* helpToStudy = nullptr;

    View* fromView = nullptr;
    View* toView = nullptr;

    // The name of a page's video in the bundle, without its type "mov".
    static std::string videoResourceName(screenId screen);

  protected:
    void loadView() override;

    virtual void updateScreen();
    virtual void stopVideo();
    // Fails when the bundle has no video for the page.
    virtual std::optional<Error> playVideo(screenId screen);
    virtual void observeVideoEnd();

  private:
    void playerDidReachEnd(const Notification& notification);
    void playerDidFail(const Notification& notification);
    void removeVideoObservers();
    static void showPage(View* view);
    static void hidePage(View* view);

    View* currentView_ = nullptr;
    std::shared_ptr<Player> player_;
    std::map<screenId, View*> screens_;
    screenId currentScreen_ = screenId::subscribe;
    std::vector<NotificationCenter::ObserverToken> videoObservers_;
    int restarts_ = 0;
};

}  // namespace wv::screens
