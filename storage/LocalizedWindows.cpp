#include "storage/LocalizedWindows.h"

#include <algorithm>

namespace wv {

LocalizedWindows& LocalizedWindows::shared() {
    static LocalizedWindows windows;
    return windows;
}

void LocalizedWindows::add(Localizable* controller) {
    if (!controller) return;
    std::lock_guard lock(mutex_);
    if (std::find(controllers_.begin(), controllers_.end(), controller) == controllers_.end())
        controllers_.push_back(controller);
}

void LocalizedWindows::remove(Localizable* controller) {
    std::lock_guard lock(mutex_);
    std::erase(controllers_, controller);
}

bool LocalizedWindows::contains(const Localizable* controller) const {
    std::lock_guard lock(mutex_);
    return std::find(controllers_.begin(), controllers_.end(), controller) != controllers_.end();
}

std::vector<Localizable*> LocalizedWindows::controllers() const {
    std::lock_guard lock(mutex_);
    return controllers_;
}

void LocalizedWindows::setApplicationDelegate(MenuLocalizable* delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

MenuLocalizable* LocalizedWindows::applicationDelegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void LocalizedWindows::relocalize() const {
    for (Localizable* controller : controllers()) {
        if (contains(controller)) controller->localizeCaptions();
    }
    if (MenuLocalizable* delegate = applicationDelegate()) delegate->localizeMenuItems();
}

}  // namespace wv
