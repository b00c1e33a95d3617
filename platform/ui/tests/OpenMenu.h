#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

namespace wv::test {

// What an open pop-up menu showed before an item was picked in it.
struct OpenMenuSeen {
    bool opened = false;
    std::vector<std::string> titles;
    std::vector<bool> hasIcon;
    int checked = -1;
};

// Arms a one-shot that runs inside the next pop-up menu's own event loop: it records what the
// menu shows and clicks the item titled `title` where it is drawn (or closes the menu when no
// item has that title), as a person picking from the open menu would.
inline std::shared_ptr<OpenMenuSeen> pickInNextOpenMenu(const std::string& title) {
    auto seen = std::make_shared<OpenMenuSeen>();
    QTimer::singleShot(0, [seen, title] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        seen->opened = true;
        QAction* target = nullptr;
        const auto actions = menu->actions();
        for (int i = 0; i < actions.size(); ++i) {
            QAction* action = actions[i];
            seen->titles.push_back(action->text().toStdString());
            seen->hasIcon.push_back(!action->icon().isNull());
            if (action->isChecked()) seen->checked = i;
            if (action->text().toStdString() == title && !target) target = action;
        }
        if (!target) {
            menu->close();
            return;
        }
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(target).center());
    });
    return seen;
}

// A left click (press and release) at a widget's point, in its Qt coordinates.
inline void clickWidget(QWidget* widget, QPoint at, int clicks = 1) {
    for (int i = 0; i < clicks; ++i) {
        if (i == 0)
            QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, at);
        else
            QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
    }
}

}  // namespace wv::test
