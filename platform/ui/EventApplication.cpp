#include "platform/ui/EventApplication.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "platform/foundation/PlatformException.h"

namespace wv {

EventApplication::EventApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The first menu bar asks the session bus whether a global menu takes the menus, and waits
    // for the answer. With no bus in reach the bus library launches one (a process forked
    // from ours, on a machine without it a search of every folder on the path) before the
    // main window can come up, only to hear that nothing on that new bus takes menus. The
    // menus stay in the window, as they would after that answer.
    if (!sessionBusInReach(getenv("DBUS_SESSION_BUS_ADDRESS"), getenv("XDG_RUNTIME_DIR")))
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
}

bool EventApplication::sessionBusInReach(const char* busAddress, const char* runtimeFolder) {
    if (busAddress && *busAddress) return true;
    if (!runtimeFolder || !*runtimeFolder) return false;
    struct stat status {};
    const std::string socket = std::string(runtimeFolder) + "/bus";
    return stat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

bool EventApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const PlatformException& exception) {
        PlatformException::reportException(exception);
        return false;
    }
}

}  // namespace wv
