// The on-screen keyboard redraws itself whole after every key press: a wrong key's flash and
// the next key's pulse, then one frame of the whole keyboard. The target is under 2 ms at the
// 1650 x 930 window (a 1170 x 401 keyboard), drawn offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>

#include "app/UIScale.h"
#include "app/WVKeyboardView.h"
#include "languages/LetterGroups.h"
#include "languages/layouts/KeyMapEn.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Window.h"

namespace {

using namespace wv;

struct Keyboard {
    Keyboard() : window(Rect(0, 0, 1650, 930)) {
        setScaleReferenceWindow(&window);
        const double s = uiScaleFactor();
        view = WVKeyboardView::makeStandard(
            Rect(std::ceil(164 * s), std::ceil(80 * s), std::ceil(780 * s), std::ceil(267 * s)));
        window.contentView()->addSubview(view);
        const auto& groups = letterGroups(Language::en);
        view->updateCaptions(groups[0] + groups[1], keys, false, false, false);
        view->snapshot(1.0);  // shows the window offscreen, as the application would be
        frame = QImage(view->width(), view->height(), QImage::Format_ARGB32_Premultiplied);
    }
    ~Keyboard() { setScaleReferenceWindow(nullptr); }
    void draw() {
        frame.fill(Qt::transparent);
        view->render(&frame, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    Window window;
    KeyMapEn keys;
    WVKeyboardView* view;
    QImage frame;
};

// One key press: the wrong key flashes, the pulse moves to the next key, the keyboard is drawn.
void BM_RedrawAfterKeyPress(benchmark::State& state) {
    Keyboard keyboard;
    const std::int64_t codes[] = {0, 1, 2, 3, 38, 40, 37, 41};
    size_t i = 0;
    for (auto _ : state) {
        keyboard.view->flashKey(codes[i % 8], true);
        keyboard.view->highlightKey(codes[(i + 1) % 8]);
        MainQueue::shared().runDue();
        keyboard.draw();
        ++i;
    }
}
BENCHMARK(BM_RedrawAfterKeyPress)->Unit(benchmark::kMillisecond);

// A modifier change: every key recaptioned, then drawn.
void BM_RecaptionAndRedraw(benchmark::State& state) {
    Keyboard keyboard;
    const auto& groups = letterGroups(Language::en);
    const std::string learned = groups[0] + groups[1];
    bool shift = false;
    for (auto _ : state) {
        shift = !shift;
        keyboard.view->updateCaptions(learned, keyboard.keys, shift, false, false);
        keyboard.draw();
    }
}
BENCHMARK(BM_RecaptionAndRedraw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    wv::LogCapture quiet;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
