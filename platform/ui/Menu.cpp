#include "platform/ui/Menu.h"

#include <QMenu>
#include <QMenuBar>

#include "platform/ui/MenuItem.h"
#include "platform/ui/QtConvert.h"

namespace wv {

Menu::Menu(std::string title) : title_(std::move(title)) {}

Menu::~Menu() { delete menu_.data(); }

void Menu::addItem(std::shared_ptr<MenuItem> item) {
    if (!item) return;
    items_.push_back(std::move(item));
    rebuild();
}

void Menu::removeAllItems() {
    items_.clear();
    rebuild();
}

MenuItem* Menu::itemWithTitle(const std::string& title) const {
    for (auto& item : items_)
        if (item->title() == title) return item.get();
    return nullptr;
}

int Menu::indexOfItem(const MenuItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return int(i);
    return -1;
}

QMenu* Menu::qMenu() {
    if (!menu_) {
        menu_ = new QMenu(toQString(title_));
        rebuild();
    }
    return menu_;
}

void Menu::attach(QMenuBar* bar) {
    bar_ = bar;
    rebuild();
}

void Menu::rebuild() {
    if (menu_) {
        menu_->clear();
        for (auto& item : items_) menu_->addAction(item->qAction());
    }
    if (bar_) {
        bar_->clear();
        for (auto& item : items_) bar_->addAction(item->qAction());
    }
}

}  // namespace wv
