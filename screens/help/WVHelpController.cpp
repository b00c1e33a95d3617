#include "screens/help/WVHelpController.h"

#include "app/Analytics.h"
#include "app/TextHelpers.h"
#include "engine/Model.h"
#include "languages/Language.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVGradientView.h"
#include "storage/Local.h"

namespace wv::screens {

namespace {

constexpr double kVideoTop = 204;  // the video fills the window above this line
const Color kAccent = Color::rgb(0.29, 0.56, 0.89);

TextField* addLabel(View* page, const Rect& frame, const Font& font, const Color& color,
                    bool wraps = false, std::string text = {}) {
    auto* field = new TextField(frame, std::move(text));
    field->setFont(font);
    field->setTextColor(color);
    field->setWraps(wraps);
    page->addSubview(field);
    return field;
}

Button* addButton(View* parent, const Rect& frame, const Color& fill) {
    auto* button = new Button(frame);
    button->setFont(Font::system(15, FontWeight::Medium));
    button->layer()->setBackgroundColor(fill);
    button->layer()->setCornerRadius(frame.height() / 2);
    parent->addSubview(button);
    return button;
}

void setButtonTitle(Button* button, const std::string& title) {
    button->setAttributedTitle(makeAttributedString(
        title, TextAlignment::Center, Font::system(15, FontWeight::Medium), Color::white()));
}

}  // namespace

WVHelpController::WVHelpController() = default;

WVHelpController::~WVHelpController() { removeVideoObservers(); }

std::string WVHelpController::videoResourceName(screenId screen) {
    return "WV video " + std::to_string(int(screen));
}

void WVHelpController::loadView() {
    const Size size = kContentSize;
    auto* root = new WVGradientView(Rect(0, 0, size.width, size.height));
    const Rect pageFrame(0, 0, size.width, size.height);
    const Font titleFont = Font::system(26, FontWeight::Light);
    const Font descFont = Font::system(16);
    const Font smallFont = Font::system(13);
    const Color titleColor = Color::white(0.95);
    const Color descColor = Color::white(0.75);
    const Color dimColor = Color::white(0.5);
    const Rect titleFrame(60, 142, 760, 40);
    const Rect descFrame(60, 72, 760, 66);
    const Rect pageLabelFrame(600, 34, 110, 22);

    auto makePage = [&] {
        auto* page = new View(pageFrame);
        root->addSubview(page);
        return page;
    };
    startView = makePage();
    helpTitle0 = addLabel(startView, titleFrame, titleFont, titleColor, false, "Wovanu Typing");
    helpDesc0 = addLabel(startView, descFrame, descFont, descColor, true,
                         "Touch typing, one key at a time.");
    struct HelpPage {
        View** view;
        TextField** title;
        TextField** desc;
        TextField** pageLabel;
    };
    const HelpPage pages[] = {{&firstView, &helpTitle1, &helpDesc1, &helpPage1of3},
                              {&secondView, &helpTitle2, &helpDesc2, &helpPage2of3},
                              {&thirdView, &helpTitle3, &helpDesc3, &helpPage3of3}};
    for (const HelpPage& page : pages) {
        *page.view = makePage();
        *page.title = addLabel(*page.view, titleFrame, titleFont, titleColor);
        *page.desc = addLabel(*page.view, descFrame, descFont, descColor, true);
        *page.pageLabel = addLabel(*page.view, pageLabelFrame, smallFont, dimColor);
        (*page.pageLabel)->setAttributedStringValue({});
    }
    subscribeView = makePage();
    helpStayTouchTitle = addLabel(subscribeView, Rect(60, 560, 760, 40), titleFont, titleColor,
                                  false, "Stay in touch");
    helpStayTouchDesc = addLabel(subscribeView, Rect(60, 490, 760, 60), descFont, descColor, true,
                                 "News of Wovanu Typing, now and then, by e-mail.");
    helpEmail = addLabel(subscribeView, Rect(60, 440, 400, 22), smallFont, dimColor);
    subscribeTextField = addLabel(subscribeView, Rect(60, 400, 400, 32), descFont, titleColor);
    subscribeTextField->setBackgroundColor(Color::white(0.12));
    helpSubscribe = addButton(subscribeView, Rect(480, 398, 160, 36), kAccent);
    helpToStudy = addButton(subscribeView, Rect(60, 34, 200, 36), Color::white(0.2));
    setButtonTitle(helpToStudy, "Start typing");
    helpToStudy->action = [this](Control&) { closePressed(); };

    playerView = new PlayerView(Rect(0, kVideoTop, size.width, size.height - kVideoTop));
    root->addSubview(playerView);

    helpNext = addButton(root, Rect(720, 28, 130, 36), kAccent);
    helpNext->setKeyEquivalent("\r");
    helpNext->action = [this](Control&) { nextButtonClicked(); };
    closeButton = addButton(root, Rect(20, 30, 32, 32), Color::white(0.16));
    closeButton->setKeyEquivalent("\x1b");
    setButtonTitle(closeButton, "\u00d7");
    closeButton->action = [this](Control&) { closePressed(); };
    setView(root);
}

void WVHelpController::viewDidLoad() {
    screens_ = {{screenId::start, startView},
                {screenId::first, firstView},
                {screenId::second, secondView},
                {screenId::third, thirdView},
                {screenId::subscribe, subscribeView}};
    for (auto& [screen, page] : screens_) {
        page->setLayer(std::make_shared<Layer>());
        page->setAlphaValue(0.0);
    }
}

void WVHelpController::viewWillAppear() {
    ViewController::viewWillAppear();
    setCurrentScreen(screenId::first);
    localizeCaptions();
    const std::string lang(languageName(model().config().language()));
    const EventAttributes attributes{{"lang", lang},
                                     {"firstLaunch", model().firstLaunch() ? "true" : "false"}};
    Analytics::logContentView("Help", std::nullopt, std::nullopt, attributes);
}

void WVHelpController::viewWillDisappear() {
    ViewController::viewWillDisappear();
    stopVideo();
    setCurrentScreen(screenId::start);
}

void WVHelpController::showPage(View* view) {
    view->setAlphaValue(1.0);
    view->setHidden(false);
}

void WVHelpController::hidePage(View* view) {
    view->setAlphaValue(0.0);
    view->setHidden(true);
}

void WVHelpController::setCurrentScreen(screenId screen) {
    const screenId previous = currentScreen_;
    const auto incoming = screens_.find(screen);
    if (incoming != screens_.end()) {
        showPage(incoming->second);
        currentView_ = incoming->second;
    } else {
        currentView_ = nullptr;
    }
    currentScreen_ = screen;
    // Setting the page that is already current leaves it shown.
    const auto outgoing = screens_.find(previous);
    if (outgoing != screens_.end() && previous != screen) hidePage(outgoing->second);
}

void WVHelpController::closePressed() {
    setCurrentScreen(screenId::first);
    if (Window* window = view()->window()) window->close();
}

void WVHelpController::nextButtonClicked() {
    fromView = currentView_;
    switch (currentScreen_) {
        case screenId::start:
            setCurrentScreen(screenId::first);
            break;
        case screenId::first:
            setCurrentScreen(screenId::second);
            break;
        case screenId::second:
            setCurrentScreen(screenId::third);
            break;
        case screenId::third:
        case screenId::subscribe:
            // Closing is the whole step: a slide or a video in a window that has gone away
            // would only start what the close has just stopped.
            setCurrentScreen(screenId::first);
            closePressed();
            return;
    }
    toView = currentView_;
    View* from = fromView;
    View* to = toView;
    if (!to) return;
    AnimationContext::withoutAnimation([to] {
        to->setFrameOrigin(Point{kSlideDistance, to->frame().origin.y});
        to->setHidden(false);
        to->setAlphaValue(1.0);
    });
    AnimationContext::runGroup(
        [from, to](AnimationContext& context) {
            context.setDuration(kSlideDuration);
            if (from)
                from->animator().setFrameOrigin(Point{-kSlideDistance, from->frame().origin.y});
            to->animator().setFrameOrigin(Point{0, to->frame().origin.y});
        },
        [this, alive = weak_from_this(), from] {
            // The completion waits on the main queue; the controller may be gone by then.
            if (!from || alive.expired()) return;
            // A page shown again meanwhile (the window closed and opened within the slide)
            // stays shown; it only goes back to its place.
            if (from != currentView_) {
                from->setHidden(true);
                from->setAlphaValue(0.0);
            }
            from->animator().setFrameOrigin(Point{0, from->frame().origin.y});
        });
    updateScreen();
}

void WVHelpController::localizeCaptions() {
    if (!isViewLoaded()) return;
    Local& local = Local::shared();
    setButtonTitle(helpNext, local.valueForKey("helpNext"));
    const std::pair<TextField*, const char*> captions[] = {
        {helpPage1of3, "helpPage1of3"}, {helpPage2of3, "helpPage2of3"},
        {helpPage3of3, "helpPage3of3"}, {helpTitle1, "helpTitle1"},
        {helpDesc1, "helpDesc1"},       {helpTitle2, "helpTitle2"},
        {helpDesc2, "helpDesc2"},       {helpTitle3, "helpTitle3"},
        {helpDesc3, "helpDesc3"}};
    for (const auto& [field, key] : captions) field->setStringValue(local.valueForKey(key));
    for (TextField* label : {helpPage1of3, helpPage2of3, helpPage3of3}) {
        label->setAttributedStringValue(makeAttributedString(
            label->stringValue(), TextAlignment::Right, Font::system(13), Color::white(0.5)));
    }
    updateScreen();
}

void WVHelpController::updateScreen() {
    const screenId page = currentScreen_;
    const bool noVideoPage = page == screenId::start || page == screenId::subscribe;
    playerView->setHidden(noVideoPage);
    playerView->setAlphaValue(noVideoPage ? 0.0 : 1.0);
    helpNext->setHidden(page == screenId::subscribe);
    if (!noVideoPage) {
        stopVideo();
        View* root = view();
        playerView->removeFromSuperview();
        root->addSubview(playerView);
        // The buttons sit below the video's area; they stay above the pages all the same.
        for (Button* button : {helpNext, closeButton}) {
            button->removeFromSuperview();
            root->addSubview(button);
        }
        if (playVideo(page)) {
            playerView->setHidden(true);
            playerView->setAlphaValue(0.0);
        }
    }
    if (page == screenId::subscribe) {
        Local& local = Local::shared();
        setButtonTitle(helpSubscribe, local.localize("helpSubscribe"));
        helpEmail->setStringValue(local.localize("helpEmail"));
    }
}

std::optional<Error> WVHelpController::playVideo(screenId screen) {
    const std::string name = videoResourceName(screen);
    const auto path = Bundle::main().pathForResource(name, "mov");
    if (!path) {
        // Something under the video's name that is not a file is a broken bundle, unlike a
        // video that is simply absent; it is worth a line.
        const auto occupied = Bundle::main().root() / (name + ".mov");
        std::error_code ec;
        if (std::filesystem::exists(occupied, ec))
            Log::print("Can't play video " + occupied.string() + ": not a file");
        return Error{"Can't open video resource " + name, 1, {}};
    }
    playerView->setHidden(false);
    player_ = std::make_shared<Player>(*path);
    playerView->setPlayer(player_);
    player_->play();
    observeVideoEnd();
    return std::nullopt;
}

void WVHelpController::observeVideoEnd() {
    auto& center = NotificationCenter::defaultCenter();
    const void* sender = player_.get();
    videoObservers_.push_back(
        center.addObserver(std::string(kPlayerItemDidPlayToEndTimeNotification), sender,
                           [this](const Notification& n) { playerDidReachEnd(n); }));
    videoObservers_.push_back(
        center.addObserver(std::string(kPlayerItemFailedToPlayToEndTimeNotification), sender,
                           [this](const Notification& n) { playerDidFail(n); }));
}

void WVHelpController::removeVideoObservers() {
    for (auto token : videoObservers_) NotificationCenter::defaultCenter().removeObserver(token);
    videoObservers_.clear();
}

void WVHelpController::playerDidReachEnd(const Notification& notification) {
    if (!player_ || notification.sender != player_.get()) return;
    const auto frames = notification.userInfo.find("frames");
    const bool showedFrames =
        frames != notification.userInfo.end() && std::any_cast<int>(frames->second) > 0;
    if (!showedFrames) {
        // Restarting a file that shows nothing would only end again at once, for ever.
        Log::print("Can't play video " + player_->file().string() + ": it shows no picture");
        playerView->setHidden(true);
        playerView->setAlphaValue(0.0);
        return;
    }
    player_->seek(0);
    player_->play();
    ++restarts_;
}

void WVHelpController::playerDidFail(const Notification& notification) {
    if (!player_ || notification.sender != player_.get()) return;
    const std::string reason =
        player_->error() ? player_->error()->localizedDescription() : std::string("unknown error");
    Log::print("Can't play video " + player_->file().string() + ": " + reason);
    playerView->setHidden(true);
    playerView->setAlphaValue(0.0);
}

void WVHelpController::stopVideo() {
    removeVideoObservers();
    if (const auto& shown = playerView->player()) shown->pause();
    playerView->setPlayer(nullptr);
    playerView->setHidden(false);
    player_.reset();
}

}  // namespace wv::screens
