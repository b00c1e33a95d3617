// The application left alone: on the manual clock, with every paint counted, the window may
// only redraw what moves (the pulse of the next key) and must not wake up for anything else.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QPaintEvent>
#include <map>

#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/tests/RunningApplication.h"
#include "platform/ui/AnimationDriver.h"

namespace wv {
namespace {

using test::RunningApplication;

// Counts the paint events of every widget, and where they painted in window coordinates.
class PaintCounter : public QObject {
  public:
    PaintCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~PaintCounter() override { QCoreApplication::instance()->removeEventFilter(this); }

    int paints = 0;
    QRegion painted;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            ++paints;
            painted += static_cast<QPaintEvent*>(event)->region().translated(
                widget->mapTo(widget->window(), QPoint(0, 0)));
        }
        return false;
    }
};

struct Sitting {
    size_t wakeUps = 0;  // blocks of the main queue: timer beats, animation frames, delayed work
    std::uint64_t frames = 0;
    int paints = 0;
    QRegion painted;
};

// Lets `seconds` pass on the manual clock in steps of a sixtieth of a second, painting after
// each step whatever was asked for, as the event loop would.
Sitting sit(RunningApplication& app, double seconds) {
    PaintCounter counter;
    Sitting result;
    const std::uint64_t frames = AnimationDriver::shared().frames();
    for (int step = 0; step < int(seconds * 60); ++step) {
        result.wakeUps += app.loop.advance(1.0 / 60);
        QCoreApplication::processEvents();
    }
    result.frames = AnimationDriver::shared().frames() - frames;
    result.paints = counter.paints;
    result.painted = counter.painted;
    return result;
}

QRect windowRectOf(QWidget* widget) {
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

TEST(ApplicationIdle, WithNothingMovingTheWindowNeitherWakesNorPaintsForHalfAMinute) {
    RunningApplication app;
    app.hub().config().setKeyHintsOn(false);  // no pulsing next key
    sit(app, 2.0);                            // what the change itself started settles

    const Sitting idle = sit(app, 30.0);
    EXPECT_EQ(idle.wakeUps, 0u);
    EXPECT_EQ(idle.frames, 0u);
    EXPECT_EQ(idle.paints, 0);
    EXPECT_FALSE(AnimationDriver::shared().isRunning());
}

TEST(ApplicationIdle, ThePulsingNextKeyRedrawsOnlyItselfAtTwentyFramesASecond) {
    RunningApplication app;
    sit(app, 1.0);
    WVKeyboardButton* key = app.screen().keyboard->highlightedKey;
    ASSERT_NE(key, nullptr);
    const QRect keyRect = windowRectOf(key);

    const Sitting idle = sit(app, 30.0);
    EXPECT_GE(idle.frames, 20u * 29) << "the pulse keeps moving";
    EXPECT_LE(idle.frames, 20u * 30 + 1);
    EXPECT_EQ(idle.wakeUps, idle.frames) << "nothing but the pulse wakes up: no speed timer";
    EXPECT_GT(idle.paints, 0);
    EXPECT_TRUE(idle.painted.subtracted(keyRect).isEmpty())
        << "painted outside the key: " << idle.painted.boundingRect().width() << " x "
        << idle.painted.boundingRect().height();
}

TEST(ApplicationIdle, AHiddenWindowDoesNotAnimateAndTheShownOneGoesOn) {
    RunningApplication app;
    sit(app, 1.0);
    app.window().widget()->hide();
    sit(app, 0.5);

    const Sitting hidden = sit(app, 30.0);
    EXPECT_EQ(hidden.wakeUps, 0u);
    EXPECT_EQ(hidden.paints, 0);

    app.window().widget()->show();
    const Sitting shown = sit(app, 2.0);
    EXPECT_GE(shown.frames, 35u) << "the pulse comes back with the window";
}

TEST(ApplicationIdle, TheSpeedTimerBeatsOnlyWhileALineIsTyped) {
    RunningApplication app;
    app.hub().config().setKeyHintsOn(false);
    sit(app, 1.0);
    ASSERT_TRUE(app.typeExpected());
    const Sitting typing = sit(app, 10.0);
    EXPECT_GE(typing.wakeUps, 19u) << "twice a second after the first key";
    EXPECT_LE(typing.wakeUps, 21u);

    while (!app.hub().textLine().isComplete()) ASSERT_TRUE(app.typeExpected());
    sit(app, 5.0);  // the tips and the Return pulse after a line move; let them start
    app.hub().config().setKeyHintsOn(false);
    app.screen().keyboard->clearHighlight();
    sit(app, 5.0);
    const Sitting finished = sit(app, 30.0);
    EXPECT_EQ(finished.wakeUps, finished.frames) << "no speed timer after the last key";
}

// Counts the paint events each widget gets.
class PaintsByWidget : public QObject {
  public:
    PaintsByWidget() { QCoreApplication::instance()->installEventFilter(this); }
    ~PaintsByWidget() override { QCoreApplication::instance()->removeEventFilter(this); }
    std::map<QObject*, int> paints;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType()) ++paints[object];
        return false;
    }
};

// A frame of the pulse draws the key and nothing under it (the screen's backdrop, the
// keyboard): one paint event a frame. (Hands lying over the key would be drawn with it.)
TEST(ApplicationIdle, EachPulseFrameIsOnePaintOfTheKeyAlone) {
    RunningApplication app;
    app.hub().config().setHandsOn(false);
    sit(app, 1.0);
    WVKeyboardButton* key = app.screen().keyboard->highlightedKey;
    ASSERT_NE(key, nullptr);

    PaintsByWidget counted;
    const Sitting idle = sit(app, 5.0);
    ASSERT_GE(idle.frames, 20u * 4);
    EXPECT_EQ(counted.paints.size(), 1u) << "widgets drawn for the pulse";
    EXPECT_LE(counted.paints[key], int(idle.frames));
    EXPECT_GE(counted.paints[key], int(idle.frames) - 1);
}

}  // namespace
}  // namespace wv
