#pragma once

#include <mutex>
#include <vector>

#include "storage/Localizable.h"
#include "storage/MenuLocalizable.h"

namespace wv {

// The application's windows as the localisation sees them: the content view controllers that
// are `Localizable`, in the order the application lists its windows, and the application
// delegate. The interface layer adds a window's controller when the window opens and removes
// it before the controller goes away; windows without such a controller are never added.
class LocalizedWindows {
public:
    static LocalizedWindows& shared();

    void add(Localizable* controller);  // appended; adding twice keeps the first place
    void remove(Localizable* controller);
    bool contains(const Localizable* controller) const;
    std::vector<Localizable*> controllers() const;

    void setApplicationDelegate(MenuLocalizable* delegate);  // nullptr: none
    MenuLocalizable* applicationDelegate() const;

    // Asks every listed controller, then the application delegate, to fetch its texts again.
    // A controller removed meanwhile (a window closed by another's re-localisation) is passed
    // over.
    void relocalize() const;

private:
    mutable std::mutex mutex_;
    std::vector<Localizable*> controllers_;
    MenuLocalizable* delegate_ = nullptr;
};

}  // namespace wv
