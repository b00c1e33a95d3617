#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QMenuBar;

namespace wv {

class MenuItem;

// An ordered list of menu items; a menu bar shows a main menu's items with submenus as its
// menus. The menu owns its items.
class Menu {
public:
    explicit Menu(std::string title = {});
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::string& title() const { return title_; }
    void addItem(std::shared_ptr<MenuItem> item);
    void removeAllItems();
    const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
    MenuItem* itemWithTitle(const std::string& title) const;
    int indexOfItem(const MenuItem* item) const;

    QMenu* qMenu();  // made on first use
    void attach(QMenuBar* bar);

private:
    void rebuild();

    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
    QPointer<QMenu> menu_;
    QPointer<QMenuBar> bar_;
};

}  // namespace wv
