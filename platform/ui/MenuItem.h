#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Image.h"

class QAction;

namespace wv {

class Menu;

// One entry of a menu: title, action, key equivalent, check mark (state 1), image, submenu.
// A key equivalent with the Command modifier is typed with Ctrl (see KeyEventBridge).
class MenuItem {
public:
    explicit MenuItem(std::string title = {}, std::function<void()> action = {}, std::string keyEquivalent = {});
    static std::shared_ptr<MenuItem> separator();
    ~MenuItem();

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    int state() const { return state_; }
    void setState(int state);  // 1 on (checked), 0 off
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    ImagePtr image() const { return image_; }
    void setImage(ImagePtr image);
    bool isSeparator() const { return separator_; }
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    std::shared_ptr<Menu> submenu() const { return submenu_; }
    void setSubmenu(std::shared_ptr<Menu> submenu);  // before the item joins a menu

    std::function<void()> action;
    // Runs the action (what choosing the item does).
    void perform();

    QAction* qAction();  // made on first use, kept in step with the item

private:
    void sync();
    void apply(QAction* action);

    std::string title_;
    std::string keyEquivalent_;
    int state_ = 0;
    bool hidden_ = false;
    bool enabled_ = true;
    int tag_ = 0;
    bool separator_ = false;
    ImagePtr image_;
    std::shared_ptr<Menu> submenu_;
    QPointer<QAction> action_;
};

}  // namespace wv
