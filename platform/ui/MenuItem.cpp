#include "platform/ui/MenuItem.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "platform/ui/Menu.h"
#include "platform/ui/QtConvert.h"

namespace wv {

MenuItem::MenuItem(std::string title, std::function<void()> action, std::string keyEquivalent)
    : action(std::move(action)), title_(std::move(title)), keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::separator() {
    auto item = std::make_shared<MenuItem>();
    item->separator_ = true;
    return item;
}

MenuItem::~MenuItem() { delete action_.data(); }

void MenuItem::setTitle(std::string title) {
    title_ = std::move(title);
    sync();
}
void MenuItem::setState(int state) {
    state_ = state;
    sync();
}
void MenuItem::setHidden(bool hidden) {
    hidden_ = hidden;
    sync();
}
void MenuItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    sync();
}
void MenuItem::setImage(ImagePtr image) {
    image_ = std::move(image);
    sync();
}
void MenuItem::setSubmenu(std::shared_ptr<Menu> submenu) {
    submenu_ = std::move(submenu);
    sync();
}

void MenuItem::perform() {
    if (enabled_ && action) action();
}

QAction* MenuItem::qAction() {
    // An item with a submenu is the submenu's own action, which Qt's shortcut matching
    // follows from the menu to the bar.
    if (submenu_) {
        QAction* menuAction = submenu_->qMenu()->menuAction();
        apply(menuAction);
        return menuAction;
    }
    if (!action_) {
        action_ = new QAction();
        QObject::connect(action_, &QAction::triggered, [this] { perform(); });
        sync();
    }
    return action_;
}

void MenuItem::sync() {
    if (action_) apply(action_);
    if (submenu_) apply(submenu_->qMenu()->menuAction());
}

void MenuItem::apply(QAction* action_) {
    // Without the flag Qt draws a separator as an empty row that can be chosen.
    action_->setSeparator(separator_);
    action_->setText(toQString(title_));
    action_->setVisible(!hidden_);
    action_->setEnabled(enabled_);
    action_->setCheckable(state_ != 0);
    action_->setChecked(state_ != 0);
    if (image_) action_->setIcon(QIcon(QPixmap::fromImage(image_->render(2.0))));
    if (!keyEquivalent_.empty()) {
        action_->setShortcut(QKeySequence(QString("Ctrl+") + toQString(keyEquivalent_).toUpper()));
        action_->setShortcutContext(Qt::ApplicationShortcut);  // also while another window is key
    }
}

}  // namespace wv
