#include "platform/ui/PopUpButton.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "platform/ui/MenuItem.h"
#include "platform/ui/QtConvert.h"

namespace wv {

PopUpButton::PopUpButton(const Rect& frame) : Button(frame) { setImageScaling(ImageScaling::ProportionallyDown); }

void PopUpButton::setMenu(std::shared_ptr<Menu> menu) {
    menu_ = menu ? std::move(menu) : std::make_shared<Menu>();
    selectItemAtIndex(numberOfItems() > 0 ? 0 : -1);
}

void PopUpButton::addItemsWithTitles(const std::vector<std::string>& titles) {
    for (const auto& title : titles) menu_->addItem(std::make_shared<MenuItem>(title));
    if (selected_ < 0 && numberOfItems() > 0) selectItemAtIndex(0);
}

void PopUpButton::removeAllItems() {
    menu_->removeAllItems();
    selectItemAtIndex(-1);
}

int PopUpButton::numberOfItems() const { return int(menu_->items().size()); }

MenuItem* PopUpButton::selectedItem() const {
    return selected_ >= 0 && selected_ < numberOfItems() ? menu_->items()[size_t(selected_)].get() : nullptr;
}

std::string PopUpButton::titleOfSelectedItem() const {
    MenuItem* item = selectedItem();
    return item ? item->title() : std::string();
}

void PopUpButton::selectItemAtIndex(int index) {
    selected_ = index >= 0 && index < numberOfItems() ? index : -1;
    showSelection();
}

void PopUpButton::selectItemWithTitle(const std::string& title) {
    for (int i = 0; i < numberOfItems(); ++i)
        if (menu_->items()[size_t(i)]->title() == title) return selectItemAtIndex(i);
    selectItemAtIndex(-1);
}

void PopUpButton::showSelection() {
    MenuItem* item = selectedItem();
    setTitle(item ? item->title() : std::string());
    setImage(item ? item->image() : nullptr);
}

void PopUpButton::mouseDown(const MouseEvent&) {
    if (!isEnabled() || numberOfItems() == 0) return;
    QMenu popup;
    for (int i = 0; i < numberOfItems(); ++i) {
        const auto& item = menu_->items()[size_t(i)];
        QAction* action = popup.addAction(toQString(item->title()));
        action->setCheckable(true);
        action->setChecked(i == selected_);
        action->setData(i);
        if (ImagePtr image = item->image()) action->setIcon(QIcon(QPixmap::fromImage(image->render(2.0))));
    }
    QAction* chosen = popup.exec(mapToGlobal(QPoint(0, height())));
    if (!chosen) return;
    selectItemAtIndex(chosen->data().toInt());
    sendAction();
}

}  // namespace wv
