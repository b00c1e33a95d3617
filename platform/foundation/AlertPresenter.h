#pragma once

// The application's modal alert, as the layers that must ask the user something see it. The
// alert class is found by its name, "NSAlert", in the class registry: the user-interface layer
// links a presenter under that name when the application starts, and tests link a scripted
// one. With none linked there is nobody to ask, and a caller must not take silence for an
// answer.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

inline constexpr std::string_view kAlertClassName = "NSAlert";

// A response is kAlertFirstButtonReturn plus the index of the button pressed, buttons counted
// in the order they were added.
inline constexpr long kAlertFirstButtonReturn = 1000;
inline constexpr long kAlertSecondButtonReturn = 1001;
inline constexpr long kAlertThirdButtonReturn = 1002;

struct Alert {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;
};

class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    // Shows the alert and waits for a button, on the main thread. A dismissal without a
    // button (Escape, closing the window) answers as the last button.
    virtual long runModal(const Alert& alert) = 0;
};

// Links `presenter` under kAlertClassName, replacing whatever was linked there.
void registerAlertPresenter(std::shared_ptr<AlertPresenter> presenter);
// Unlinks `presenter` if it is the one linked; another presenter stays.
void unregisterAlertPresenter(const std::shared_ptr<AlertPresenter>& presenter);
// The linked presenter, or none.
std::shared_ptr<AlertPresenter> registeredAlertPresenter();

}  // namespace wv
