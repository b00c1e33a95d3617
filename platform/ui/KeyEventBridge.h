#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/KeyEvent.h"

class QKeyEvent;

namespace wv {

class Application;
class KeyTranslator;

// The one application-wide event filter that stands in for local event monitors: it turns
// each Qt key event into a KeyEvent (macOS key code and modifier flags), hands it to the
// application's monitors, and swallows the key when a monitor consumed it. Qt offers an
// unaccepted key to every parent widget in turn, and application filters see each offer; the
// bridge handles a key once, on its first offer.
class KeyEventBridge : public QObject {
public:
    // Turns a Qt key event into our terms, or nothing for a key the bridge ignores.
    using Translator = std::function<std::optional<KeyEvent>(const QKeyEvent&)>;

    explicit KeyEventBridge(Application& application);  // with a KeyTranslator
    ~KeyEventBridge() override;

    void setTranslator(Translator translator) { translator_ = std::move(translator); }
    // Installs the filter on the running QApplication (done once it exists).
    void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handle(QObject* watched, QKeyEvent& event);

    Application& application_;
    std::shared_ptr<KeyTranslator> keys_;
    Translator translator_;
    bool installed_ = false;
    // The key event last handled, to recognise the same event offered to a parent widget.
    const QEvent* lastEvent_ = nullptr;
    QPointer<QObject> lastReceiver_;
    quint32 lastScanCode_ = 0;
    std::uint64_t lastTimestamp_ = 0;
    int lastType_ = 0;
    bool lastConsumed_ = false;
};

}  // namespace wv
