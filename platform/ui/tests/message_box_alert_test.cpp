#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "TestApplication.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/ui/Application.h"
#include "platform/ui/MessageBoxAlertPresenter.h"

namespace wv {
namespace {

struct Shown {
    QString text;
    QString informative;
    std::vector<QString> buttons;
};

// Once the box is up, records what it shows and acts on it; gives up after ten seconds so a
// box that never appears fails the test instead of hanging it.
void whenShown(Shown& shown, std::function<void(QMessageBox&)> act) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&shown, act, tries, poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++*tries < 1000) QTimer::singleShot(10, *poll);
            return;
        }
        shown.text = box->text();
        shown.informative = box->informativeText();
        for (QAbstractButton* b : box->buttons()) shown.buttons.push_back(b->text());
        act(*box);
    };
    QTimer::singleShot(0, *poll);
}

void clickTitled(QMessageBox& box, const QString& title) {
    for (QAbstractButton* b : box.buttons())
        if (b->text() == title) return b->click();
    ADD_FAILURE() << "no button " << title.toStdString();
    box.reject();
}

TEST(MessageBoxAlertPresenter, AnswersWithTheCodeOfTheButtonPressed) {
    test::application();
    const Alert alert{"Send Crash Report?", "Looks like we crashed!",
                      {"Send", "Always Send", "Don't Send"}};
    const std::pair<QString, long> cases[] = {
        {"Send", 1000}, {"Always Send", 1001}, {"Don't Send", 1002}};
    for (const auto& [title, expected] : cases) {
        Shown shown;
        whenShown(shown, [title = title](QMessageBox& box) { clickTitled(box, title); });
        MessageBoxAlertPresenter presenter;
        EXPECT_EQ(presenter.runModal(alert), expected) << title.toStdString();
        EXPECT_EQ(shown.text, "Send Crash Report?");
        EXPECT_EQ(shown.informative, "Looks like we crashed!");
        ASSERT_EQ(shown.buttons.size(), 3u);
    }
}

TEST(MessageBoxAlertPresenter, EscapeAnswersAsTheLastButton) {
    test::application();
    Shown shown;
    whenShown(shown, [](QMessageBox& box) { box.reject(); });
    MessageBoxAlertPresenter presenter;
    EXPECT_EQ(presenter.runModal({"Title", "Message", {"Send", "Don't Send"}}), 1001);
}

TEST(MessageBoxAlertPresenter, TheApplicationLinksItAsTheAlert) {
    test::application();
    Application::shared();
    EXPECT_NE(std::dynamic_pointer_cast<MessageBoxAlertPresenter>(registeredAlertPresenter()),
              nullptr);
}

}  // namespace
}  // namespace wv
