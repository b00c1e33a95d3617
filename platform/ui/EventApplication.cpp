#include "platform/ui/EventApplication.h"

#include "platform/foundation/PlatformException.h"

namespace wv {

EventApplication::EventApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool EventApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const PlatformException& exception) {
        PlatformException::reportException(exception);
        return false;
    }
}

}  // namespace wv
