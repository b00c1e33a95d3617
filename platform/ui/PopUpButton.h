#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/Menu.h"

namespace wv {

// A button that shows the chosen item of its menu and opens the menu when clicked; choosing
// an item selects it and sends the button's action. The button's title and image are the
// selected item's.
class PopUpButton : public Button {
public:
    explicit PopUpButton(const Rect& frame = {});

    Menu& menu() { return *menu_; }
    void setMenu(std::shared_ptr<Menu> menu);  // selects its first item
    void addItemsWithTitles(const std::vector<std::string>& titles);
    void removeAllItems();

    int indexOfSelectedItem() const { return selected_; }  // -1 for none
    MenuItem* selectedItem() const;
    std::string titleOfSelectedItem() const;
    void selectItemAtIndex(int index);
    void selectItemWithTitle(const std::string& title);
    int numberOfItems() const;

    void mouseDown(const MouseEvent& event) override;
    void mouseUp(const MouseEvent&) override {}

private:
    void showSelection();

    std::shared_ptr<Menu> menu_ = std::make_shared<Menu>();
    int selected_ = -1;
};

}  // namespace wv
