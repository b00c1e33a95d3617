#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPaintEvent>
#include <cmath>

#include "platform/foundation/Random.h"
#include "platform/ui/Application.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"

namespace wv {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

namespace screens {
namespace {

using test::makeLesson;
using test::Record;

// Remembers every picture drawn instead of drawing it.
class RecordingDiagram : public WVDiagrammView {
  public:
    struct Drawn {
        std::string name;
        Rect rect;
        QPainter::CompositionMode mode;
        bool operator==(const Drawn&) const = default;
    };
    using WVDiagrammView::WVDiagrammView;

    std::vector<Drawn> paint(const Rect& dirty) {
        drawn.clear();
        QImage canvas(8, 8, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&canvas);
        draw(painter, dirty);
        return drawn;
    }
    std::vector<Drawn> paintAll() { return paint(bounds()); }

    std::vector<Drawn> drawn;

  protected:
    void drawImageNamed(QPainter&, const std::string& name, const Rect& rect,
                        QPainter::CompositionMode mode) override {
        drawn.push_back({name, rect, mode});
    }
};

void PrintTo(const RecordingDiagram::Drawn& d, std::ostream* os) {
    *os << d.name << " ";
    wv::PrintTo(d.rect, os);
    *os << " mode " << int(d.mode);
}

constexpr auto kOver = QPainter::CompositionMode_SourceOver;
constexpr auto kAtop = QPainter::CompositionMode_SourceAtop;

class DiagramTest : public ::testing::Test {
  protected:
    void SetUp() override { test::statisticsApplication(); }
};

// A 300-point view has a 240-point speed band. Difficulties outside 0..6, negative values and
// speeds above the maximum come from damaged rows: clamped images, zero or overflowing bars.
TEST_F(DiagramTest, BarsImagesAndDotsOfTheRecords) {
    RecordingDiagram diagram(Rect(0, 0, 200, 300));
    diagram.maxSpeed = 200;
    diagram.maxTyposCount = 5;
    diagram.lessons = std::vector<LessonInfoPtr>{
        makeLesson({.id = 1, .speed = 100, .typos = 5, .difficulty = 0}),
        makeLesson({.id = 2, .speed = 200, .typos = 0, .difficulty = 6}),
        makeLesson({.id = 3, .speed = 50, .typos = 2, .difficulty = 9, .capitals = true}),
        makeLesson({.id = 4, .speed = 300, .typos = 1, .difficulty = -3, .punctuation = true}),
        makeLesson({.id = 5, .speed = -40, .typos = -2, .difficulty = 2, .numbers = true}),
        makeLesson({.id = 6, .speed = 80, .typos = 0, .difficulty = 5}),
    };
    using D = RecordingDiagram::Drawn;
    const std::vector<D> expected = {
        {"barErrors", Rect(0, 0, 10, 30), kOver},  {"bar1", Rect(0, 31, 10, 120), kOver},
        {"bar7", Rect(11, 31, 10, 240), kOver},    {"barErrors", Rect(22, 18, 10, 12), kOver},
        {"bar7", Rect(22, 31, 10, 60), kOver},     {"dot", Rect(24, 83, 6, 6), kAtop},
        {"barErrors", Rect(33, 24, 10, 6), kOver}, {"bar1", Rect(33, 31, 10, 360), kOver},
        {"dot", Rect(35, 383, 6, 6), kAtop},       {"dot", Rect(46, 23, 6, 6), kAtop},
        {"bar6", Rect(55, 31, 10, 96), kOver},
    };
    EXPECT_EQ(diagram.paintAll(), expected);
    EXPECT_EQ(diagram.typosBarRect(4), Rect(44, 30, 10, 0));
    EXPECT_EQ(diagram.speedBarRect(4), Rect(44, 31, 10, 0));
    EXPECT_EQ(diagram.speedBarRect(99), Rect(99 * 11, 31, 10, 0)) << "past the end: no bar";
}

TEST_F(DiagramTest, FullValuesFillTheirBands) {
    struct Case {
        double height;
        int speedBand;
    };
    for (const Case& c : {Case{300, 240}, Case{60.5, 1}, Case{61, 1}, Case{40, 0}}) {
        RecordingDiagram diagram(Rect(0, 0, 100, c.height));
        diagram.maxSpeed = 150;
        diagram.maxTyposCount = 4;
        diagram.lessons = std::vector<LessonInfoPtr>{makeLesson({.speed = 150, .typos = 4})};
        EXPECT_EQ(diagram.speedBand(), c.speedBand) << c.height;
        EXPECT_EQ(diagram.speedBarRect(0), Rect(0, 31, 10, c.speedBand)) << c.height;
        EXPECT_EQ(diagram.typosBarRect(0), Rect(0, 0, 10, 30)) << "reaches y 0";
    }
    RecordingDiagram noTypos(Rect(0, 0, 100, 300));
    noTypos.maxTyposCount = 0;
    noTypos.lessons = std::vector<LessonInfoPtr>{makeLesson({.typos = 3})};
    EXPECT_EQ(noTypos.typosBarRect(0).height(), 0) << "a maximum of 0 draws no typo bars";
}

// The diagram is as wide as the visible width plus about 50 points, in whole columns, or as
// its records; placeholders fill the rest.
TEST_F(DiagramTest, WidthAndPlaceholderCount) {
    struct Case {
        double visible;
        int records;
        double width;
        int placeholders;
    };
    for (const Case& c : {Case{984, 0, 1034, 94}, Case{100, 3, 143, 10}, Case{100, 50, 550, 0},
                          Case{400, 3, 440, 37}, Case{0, 0, 44, 4}}) {
        Window window(Rect(0, 0, 1200, 400));
        auto* scroll = new ScrollView(Rect(0, 0, c.visible, 300));
        window.contentView()->addSubview(scroll);
        auto* diagram = new WVDiagrammView(Rect(0, 0, c.visible, 300));
        scroll->setDocumentView(diagram);
        std::vector<LessonInfoPtr> lessons;
        for (int i = 0; i < c.records; ++i) lessons.push_back(makeLesson({.id = i + 1}));
        diagram->lessons = lessons;
        EXPECT_EQ(diagram->diagramWidth(), c.width) << c.visible << " " << c.records;
        EXPECT_EQ(diagram->placeholderCount(), c.placeholders) << c.visible << " " << c.records;
        ScopedRandomSource random(std::make_shared<SeededRandom>(7));
        diagram->generateRandomBars();
        EXPECT_EQ(diagram->randomTypos.size(), size_t(c.placeholders));
        EXPECT_EQ(diagram->randomSpeeds.size(), size_t(c.placeholders));
    }
}

// Each placeholder draws its typos below the typo maximum, then its speed below both the
// maximum speed and the band; with no band (a view under 60 points) the speed is 0 undrawn.
TEST_F(DiagramTest, PlaceholderDrawsAndTheirBounds) {
    struct Case {
        double height;
        int maxSpeed;
        std::vector<ScriptedRandom::Draw> script;
        std::vector<int> speeds;
    };
    const Case cases[] = {
        {300, 200, {{3, 5}, {150, 200}, {4, 5}, {199, 200}}, {150, 199}},
        {100, 200, {{3, 5}, {39, 40}, {0, 5}, {0, 40}}, {39, 0}},
        {50, 200, {{3, 5}, {4, 5}}, {0, 0}},
        {300, 0, {{3, 5}, {4, 5}}, {0, 0}},
    };
    for (const Case& c : cases) {
        RecordingDiagram diagram(Rect(0, 0, 22, c.height));
        diagram.maxSpeed = c.maxSpeed;
        diagram.maxTyposCount = 5;
        diagram.lessons = std::vector<LessonInfoPtr>(2, makeLesson({}));  // 44 wide: two free
        auto script = std::make_shared<ScriptedRandom>(c.script);
        ScopedRandomSource random(script);
        diagram.generateRandomBars();
        EXPECT_EQ(script->remaining(), 0u) << c.height;
        EXPECT_EQ(diagram.randomSpeeds, c.speeds) << c.height;
        EXPECT_EQ(diagram.randomTypos, (std::vector<int>{3, c.script[c.script.size() / 2].value}))
            << c.height;
    }
}

// With no records handed over yet, every redraw rolls new placeholders; the frame is on
// column 0.
TEST_F(DiagramTest, WithoutDataEveryRedrawRollsNewPlaceholders) {
    RecordingDiagram diagram(Rect(0, 0, 44, 300));
    diagram.maxSpeed = 200;
    diagram.maxTyposCount = 5;
    ScopedRandomSource random(std::make_shared<SeededRandom>(11));
    const auto first = diagram.paintAll();
    const std::vector<int> firstSpeeds = diagram.randomSpeeds;
    diagram.paintAll();
    EXPECT_EQ(diagram.randomSpeeds.size(), 4u);
    EXPECT_NE(diagram.randomSpeeds, firstSpeeds);
    EXPECT_EQ(diagram.selectedIndex(), 0);
    for (const auto& d : first) EXPECT_EQ(d.name, "bar");
}

TEST_F(DiagramTest, OnlyTheColumnsTheDirtyRectangleTouchesAreDrawn) {
    RecordingDiagram diagram(Rect(0, 0, 1'100'000, 300));
    diagram.maxSpeed = 200;
    diagram.maxTyposCount = 5;
    std::vector<LessonInfoPtr> lessons(100'000, makeLesson({.speed = 100, .typos = 1}));
    diagram.lessons = lessons;
    const auto drawn = diagram.paint(Rect(110, 0, 22, 300));
    ASSERT_EQ(drawn.size(), 4u);
    for (const auto& d : drawn) {
        EXPECT_GE(d.rect.x(), 110);
        EXPECT_LT(d.rect.x(), 132);
    }
}

// The screen as the statistics screen builds it: a scroll view 400 wide in a window, records
// at the right edge after scrolling to the end.
class DiagramInWindow : public DiagramTest {
  protected:
    void SetUp() override {
        DiagramTest::SetUp();
        window = std::make_unique<Window>(Rect(0, 0, 700, 420));
        Application::shared().setMainWindow(window.get());
        scroll = new ScrollView(Rect(20, 80, 400, 300));
        window->contentView()->addSubview(scroll);
        diagram = new WVDiagrammView(Rect(0, 0, 400, 300));
        scroll->setDocumentView(diagram);
        details = std::make_shared<WVLessonDetailsViewController>();
        details->view();
        diagram->popoverContentController = details;
        diagram->maxSpeed = 200;
        diagram->maxTyposCount = 5;
        diagram->lessons = std::vector<LessonInfoPtr>{
            makeLesson({.id = 1, .speed = 100, .typos = 2}),
            makeLesson({.id = 2,
                        .speed = 150,
                        .typos = 0,
                        .capitals = true,
                        .numbers = true,
                        .punctuation = true}),
            makeLesson({.id = 3, .speed = 60, .typos = 5}),
        };
        diagram->setFrameSize(Size{diagram->diagramWidth(), 300});
        diagram->scrollToEnd();
    }
    void TearDown() override { Application::shared().setMainWindow(nullptr); }

    MouseEvent at(double x, double y) const {
        MouseEvent event;
        event.locationInWindow = diagram->convertPointToWindow(Point{x, y});
        return event;
    }

    std::unique_ptr<Window> window;
    ScrollView* scroll = nullptr;
    WVDiagrammView* diagram = nullptr;
    std::shared_ptr<WVLessonDetailsViewController> details;
};

TEST_F(DiagramInWindow, ScrolledToTheNewestRecords) {
    EXPECT_EQ(diagram->frame().width(), 440);
    EXPECT_EQ(diagram->placeholderCount(), 37);
    EXPECT_EQ(scroll->documentVisibleRect().x(), 40) << "the last record at the right edge";
}

// Hovering: placeholders move the frame only; a record's bars select the record; outside
// its bars, or right of the last record, nothing is selected and the pop-over goes.
TEST_F(DiagramInWindow, HoverSelectsColumnsAndRecords) {
    struct Case {
        double x, y;
        int index;
        int64_t record;  // 0: none
    };
    const double first = 37 * 11;
    const Case cases[] = {
        {first + 5, 40, 37, 1},             // record 1's speed bar
        {60, 40, 5, 0},                     // a placeholder
        {first + 16, 20, 38, 0},            // record 2's column, where it has no typo bar
        {first + 16, 40, 38, 2},            // record 2's speed bar
        {first + 16, 31 + 180 + 4, 38, 0},  // above it
        {first + 27, 1, 39, 3},             // record 3's typo bar
        {first + 40, 40, 39, 0},            // right of the last record: the frame stays
        {first + 5, 31 + 120 - 1, 37, 1},
    };
    for (const Case& c : cases) {
        diagram->mouseMoved(at(c.x, c.y));
        EXPECT_EQ(diagram->selectedIndex(), c.index) << c.x << ", " << c.y;
        EXPECT_EQ(diagram->selectedLesson ? diagram->selectedLesson->id : 0, c.record)
            << c.x << ", " << c.y;
        EXPECT_EQ(diagram->isPopoverShown, c.record != 0);
        EXPECT_EQ(details->view()->superview() == window->contentView(), c.record != 0);
        if (c.record) EXPECT_EQ(details->lesson()->id, c.record);
    }
    diagram->mouseMoved(at(first + 5, 40));
    diagram->mouseExited(at(first + 5, 400));
    EXPECT_FALSE(diagram->isPopoverShown);
    EXPECT_EQ(diagram->selectedLesson, nullptr);
    EXPECT_EQ(diagram->selectedIndex(), 37) << "leaving keeps the frame";
}

// 5 points right of the pointer, 20 below the panel's height of the record shown until then;
// past the window's right edge it opens to the left instead.
TEST_F(DiagramInWindow, PopoverPosition) {
    const double first = 37 * 11;
    diagram->mouseMoved(at(first + 16, 150));  // the record with three options
    Point q = diagram->convertPointToWindow(Point{first + 16, 150});
    const double bare = 28 + 72;
    EXPECT_EQ(details->view()->frame().origin,
              (Point{std::round(q.x) + 5, std::round(q.y) - bare - 20}));
    diagram->mouseMoved(at(first + 16, 151));
    q = diagram->convertPointToWindow(Point{first + 16, 151});
    const double tall = bare + 3 * 17 + 14;
    EXPECT_EQ(details->popoverHeight(), tall);
    EXPECT_EQ(details->view()->frame().origin,
              (Point{std::round(q.x) + 5, std::round(q.y) - tall - 20}));

    window->contentView()->setFrameSize(Size{500, 420});
    diagram->mouseMoved(at(first + 16, 150));
    q = diagram->convertPointToWindow(Point{first + 16, 150});
    ASSERT_GT(q.x + 5 + WVLessonDetailsViewController::kPanelWidth, 500);
    EXPECT_EQ(details->view()->frame().x(),
              std::round(q.x) - 5 - WVLessonDetailsViewController::kPanelWidth);
}

TEST_F(DiagramInWindow, WheelAndDragScrollSideways) {
    struct Case {
        double dx, dy;
        double moved;  // change of the visible origin
    };
    for (const Case& c : {Case{3, -5, 5}, Case{5, 5, -5}, Case{-7, 2, 7}, Case{0, 0, 0}}) {
        scroll->scrollToPoint(Point{20, 0});
        MouseEvent wheel = at(400, 40);
        wheel.scrollingDeltaX = c.dx;
        wheel.scrollingDeltaY = c.dy;
        diagram->scrollWheel(wheel);
        EXPECT_EQ(scroll->documentVisibleRect().x(), 20 + c.moved) << c.dx << ", " << c.dy;
    }
    scroll->scrollToPoint(Point{20, 0});
    MouseEvent outside = at(5, 40);  // left of the visible part
    outside.scrollingDeltaY = 5;
    diagram->scrollWheel(outside);
    EXPECT_EQ(scroll->documentVisibleRect().x(), 20);
    MouseEvent drag = at(300, 40);
    drag.deltaX = 12;
    diagram->mouseDragged(drag);
    EXPECT_EQ(scroll->documentVisibleRect().x(), 8);
}

// A new column redraws the two columns' bars grown by a point; the same column redraws
// nothing.
TEST_F(DiagramInWindow, SelectionRedrawsOnlyTheTwoColumns) {
    window->makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    struct PaintSpy : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                rects.push_back(static_cast<QPaintEvent*>(event)->rect());
            return false;
        }
        std::vector<QRect> rects;
    } spy;
    diagram->installEventFilter(&spy);
    EXPECT_EQ(diagram->selectionChangeRect(38, 39), Rect(417, -1, 23, 213));
    diagram->setSelectedIndex(38);
    diagram->setSelectedIndex(39);
    QCoreApplication::processEvents();
    spy.rects.clear();
    diagram->setSelectedIndex(39);
    QCoreApplication::processEvents();
    EXPECT_TRUE(spy.rects.empty());
    diagram->setSelectedIndex(38);
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.rects.size(), 1u);
    // Qt's rectangle grows downward from the top of the 300-point view.
    const Rect r = diagram->selectionChangeRect(39, 38);
    EXPECT_EQ(spy.rects[0].left(), int(std::floor(r.x())));
    EXPECT_EQ(spy.rects[0].top(), int(std::floor(300 - r.maxY())));
    EXPECT_LE(spy.rects[0].width(), int(r.width()) + 2);
    diagram->removeEventFilter(&spy);
}

}  // namespace
}  // namespace screens
}  // namespace wv
