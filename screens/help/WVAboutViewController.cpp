#include "screens/help/WVAboutViewController.h"

#include <QPainter>
#include <QPainterPath>

#include "app/MainStoryboard.h"
#include "app/TextHelpers.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/Image.h"
#include "platform/ui/Workspace.h"
#include "screens/controls/WVGradientView.h"
#include "storage/Config.h"

namespace wv::screens {

namespace {

constexpr double kIcon = 44;
const QColor kIconColor(235, 235, 240);

// The three link pictures, drawn at whatever size they are shown: a round badge each, with a
// letter or an envelope cut out of it.
ImagePtr letterBadge(const QString& letter) {
    return std::make_shared<Image>(Size{kIcon, kIcon}, [letter](QPainter& p, Size size) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF circle(1, 1, size.width - 2, size.height - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(kIconColor);
        p.drawEllipse(circle);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(int(size.height * 0.58));
        p.setFont(font);
        p.setPen(QColor(44, 43, 51));
        p.drawText(circle, Qt::AlignCenter, letter);
    });
}

ImagePtr envelopeBadge() {
    return std::make_shared<Image>(Size{kIcon, kIcon}, [](QPainter& p, Size size) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF circle(1, 1, size.width - 2, size.height - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(kIconColor);
        p.drawEllipse(circle);
        const double w = size.width * 0.5, h = size.height * 0.34;
        const QRectF letter(circle.center().x() - w / 2, circle.center().y() - h / 2, w, h);
        QPen pen(QColor(44, 43, 51), size.width / 18);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(letter);
        QPainterPath flap;
        flap.moveTo(letter.topLeft());
        flap.lineTo(letter.center().x(), letter.center().y() + h * 0.1);
        flap.lineTo(letter.topRight());
        p.drawPath(flap);
    });
}

Button* linkButton(View* parent, double x, ImagePtr image, const std::string& address) {
    auto* button = new Button(Rect(x, 40, kIcon, kIcon));
    button->setImage(std::move(image));
    button->setImageScaling(ImageScaling::ProportionallyUpOrDown);
    button->setToolTip(QString::fromStdString(address));
    parent->addSubview(button);
    return button;
}

void openAddress(const std::string& address) {
    // The desktop's answer changes nothing here: the screen stays as it is either way.
    Workspace::openURL(address);
}

}  // namespace

void WVAboutViewController::loadView() {
    const Size size = kContentSize;
    auto* root = new WVGradientView(Rect(0, 0, size.width, size.height));
    name = new TextField(Rect(20, 190, size.width - 40, 40));
    version = new TextField(Rect(20, 150, size.width - 40, 24));
    for (TextField* field : {name, version}) root->addSubview(field);
    const double gap = 36;
    const double left = (size.width - 3 * kIcon - 2 * gap) / 2;
    btnFB = linkButton(root, left, letterBadge("f"), kFacebookURL);
    btnBalvik = linkButton(root, left + kIcon + gap, letterBadge("B"), kBalvikURL);
    btnMail = linkButton(root, left + 2 * (kIcon + gap), envelopeBadge(),
                         std::string("mailto:") + kFeedbackEmail);
    btnFB->action = [this](Control&) { facebookButtonPressed(); };
    btnBalvik->action = [this](Control&) { balvikButtonPressed(); };
    btnMail->action = [this](Control&) { emailButtonPressed(); };
    setView(root);
}

void WVAboutViewController::viewDidLoad() {
    name->setAttributedStringValue(makeAttributedString("Wovanu Typing", TextAlignment::Center,
                                                        Font::system(24, FontWeight::Light),
                                                        Color::white(0.95)));
    version->setAttributedStringValue(makeAttributedString("Version " + Config::appVersionString(),
                                                           TextAlignment::Center, Font::system(13),
                                                           Color::white(0.6)));
    for (Button* button : {btnFB, btnBalvik, btnMail}) button->setFocusPolicy(Qt::NoFocus);
}

void WVAboutViewController::facebookButtonPressed() { openAddress(kFacebookURL); }

void WVAboutViewController::balvikButtonPressed() { openAddress(kBalvikURL); }

void WVAboutViewController::emailButtonPressed() {
    openAddress(std::string("mailto:") + kFeedbackEmail);
}

void WVAboutViewController::registerWithStoryboard() {
    MainStoryboard::shared().registerController(
        "aboutController", [] { return std::make_shared<WVAboutViewController>(); });
}

}  // namespace wv::screens
