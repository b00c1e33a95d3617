#pragma once

#include <QApplication>

namespace wv {

// The program's QApplication: a PlatformException that escapes an event handler is handed to
// PlatformException::reportException instead of unwinding through Qt's event loop (which
// would end the program without a word); the event then counts as not handled.
//
// Where no session bus is in reach, menus stay in the window without Qt asking the bus for a
// global menu first (see sessionBusInReach).
class EventApplication : public QApplication {
  public:
    EventApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Whether a session bus can be reached without starting one: an address in the
    // environment (`busAddress`, DBUS_SESSION_BUS_ADDRESS) or the bus socket in the runtime
    // folder (`runtimeFolder`, XDG_RUNTIME_DIR). Either may be null.
    static bool sessionBusInReach(const char* busAddress, const char* runtimeFolder);
};

}  // namespace wv
