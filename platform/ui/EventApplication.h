#pragma once

#include <QApplication>

namespace wv {

// The program's QApplication: a PlatformException that escapes an event handler is handed to
// PlatformException::reportException instead of unwinding through Qt's event loop (which
// would end the program without a word); the event then counts as not handled.
class EventApplication : public QApplication {
  public:
    EventApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace wv
