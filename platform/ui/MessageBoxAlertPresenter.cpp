#include "platform/ui/MessageBoxAlertPresenter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <memory>
#include <mutex>
#include <vector>

namespace wv {

long MessageBoxAlertPresenter::runModal(const Alert& alert) {
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    std::vector<QAbstractButton*> buttons;
    for (const std::string& title : alert.buttons)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    if (buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
    // The first button answers Return, the last one Escape and closing the window: as the
    // alert's own convention has it, the last button is the way out.
    if (auto* first = qobject_cast<QPushButton*>(buttons.front())) box.setDefaultButton(first);
    box.setEscapeButton(buttons.back());
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == clicked) return kAlertFirstButtonReturn + static_cast<long>(i);
    return kAlertFirstButtonReturn + static_cast<long>(buttons.size()) - 1;
}

void registerMessageBoxAlertPresenter() {
    static std::once_flag once;
    std::call_once(once, [] { registerAlertPresenter(std::make_shared<MessageBoxAlertPresenter>()); });
}

}  // namespace wv
