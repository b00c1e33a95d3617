#include "app/WVScreenControllers.h"

#include <string>

#include "app/TextHelpers.h"
#include "platform/ui/Layer.h"
#include "storage/Local.h"

namespace wv {

namespace {

constexpr int kHelpPages = 3;
constexpr int kEscapeKey = 53;
constexpr int kReturnKey = 36;

const Color kHelpBackground = Color::rgb(0.171875, 0.16796875, 0.19921875);

}  // namespace

WVHelpWindowController::~WVHelpWindowController() {
    if (keyMonitor_) Application::shared().removeMonitor(*keyMonitor_);
}

Window* WVHelpWindowController::window() {
    if (window_) return window_.get();
    window_ = std::make_unique<Window>(Rect(0, 0, 640, 420));
    window_->setTitle("Wovanu Typing");
    window_->setBackgroundColor(kHelpBackground);
    window_->onWillClose = [this] {
        Application::shared().stopModal();
        if (onHide) onHide();
    };
    View* content = window_->contentView();
    content->layer()->setBackgroundColor(kHelpBackground);
    title_ = new TextField(Rect(60, 270, 520, 50));
    title_->setFont(Font::system(26, FontWeight::Light));
    description_ = new TextField(Rect(60, 130, 520, 130));
    description_->setFont(Font::system(17));
    description_->setWraps(true);
    pageNumber_ = new TextField(Rect(60, 40, 200, 24));
    pageNumber_->setFont(Font::system(13));
    for (TextField* field : {title_, description_, pageNumber_}) {
        field->setTextColor(Color::white(field == pageNumber_ ? 0.5 : 0.9));
        content->addSubview(field);
    }
    next_ = new Button(Rect(460, 34, 120, 36));
    next_->setFont(Font::system(15));
    next_->layer()->setBackgroundColor(Color::rgb(0.29, 0.56, 0.89));
    next_->layer()->setCornerRadius(8);
    next_->action = [this](Control&) { nextPage(); };
    content->addSubview(next_);
    // The typing screen lets keys for other windows pass; these two belong to the help.
    keyMonitor_ = Application::shared().addLocalMonitor(
        kKeyDownMask, [this](const KeyEvent& event) -> std::optional<KeyEvent> {
            if (!window_ || event.window != window_.get()) return event;
            if (event.keyCode == kReturnKey) {
                nextPage();
                return std::nullopt;
            }
            if (event.keyCode == kEscapeKey) {
                hide();
                return std::nullopt;
            }
            return event;
        });
    showPage(0);
    return window_.get();
}

void WVHelpWindowController::showPage(int page) {
    page_ = page;
    if (!title_) return;
    Local& local = Local::shared();
    const std::string number = std::to_string(page + 1);
    title_->setStringValue(local.localize("helpTitle" + number));
    description_->setStringValue(local.localize("helpDesc" + number));
    pageNumber_->setStringValue(local.localize("helpPage" + number + "of3"));
    next_->setAttributedTitle(makeAttributedString(local.localize("helpNext"), TextAlignment::Center,
                                                   Font::system(15, FontWeight::Medium),
                                                   Color::white()));
}

void WVHelpWindowController::nextPage() {
    if (page_ + 1 >= kHelpPages) {
        hide();
        showPage(0);  // the next time it opens, it starts from the beginning
        return;
    }
    showPage(page_ + 1);
}

void WVHelpWindowController::hide() {
    if (window_) window_->close();
}

}  // namespace wv
