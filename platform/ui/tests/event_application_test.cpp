#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <string>
#include <vector>

#include "platform/foundation/PlatformException.h"
#include "platform/ui/EventApplication.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

class Throwing : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw PlatformException("HandlerException", "boom");
        return QObject::event(event);
    }
};

std::vector<std::string> reported;
void recordReport(const PlatformException& e) { reported.push_back(e.name() + ": " + e.reason()); }

TEST(EventApplication, AnExceptionEscapingAHandlerGoesToTheReporterAndTheLoopGoesOn) {
    test::application();
    auto previous = PlatformException::setReporter(recordReport);
    Throwing receiver;
    QEvent first(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &first));
    QEvent second(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &second));
    PlatformException::setReporter(previous);
    EXPECT_EQ(reported,
              (std::vector<std::string>{"HandlerException: boom", "HandlerException: boom"}));
}

TEST(EventApplication, OtherExceptionsAreNotItsBusiness) {
    test::application();
    class Other : public QObject {
      public:
        bool event(QEvent*) override { throw 7; }
    } receiver;
    QEvent event(QEvent::User);
    EXPECT_THROW(QCoreApplication::sendEvent(&receiver, &event), int);
}

}  // namespace
}  // namespace wv
