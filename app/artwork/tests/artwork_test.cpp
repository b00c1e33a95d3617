#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "app/artwork/Artwork.h"
#include "platform/ui/Image.h"

namespace wv {
namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "wv_artwork_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Every image the screens look up by name.
std::vector<std::string> namesTheScreensUse() {
    std::vector<std::string> names = {
        "keyBorderCorrect", "keyBorderError", "keyCommandPressed", "keyCommandDisabled",
        "tipMail", "tipInfoIcon", "tipUp", "tipDown", "tipHeartIcon", "tipMainButton", "backArrowRed",
        "checkMark", "activeGreen", "activeOrange", "switcherBody",
        "switchONSidebar", "switchOFFSidebar", "switchONSidebarDimmed", "switchOFFSidebarDimmed",
        "bar", "barErrors", "dot", "lineSymbols", "starEmpty", "starHalf", "starFull", "bgDetailCaption", "bg",
        "flagUS", "flagDE", "flagES", "flagFR", "flagIT", "flagUA", "flagRU", "flagGR", "flagTR", "flagBR"};
    for (const char* side : {"left", "right"})
        for (int i = 1; i <= 5; ++i)
            for (const char* state : {"Active", "Inactive"})
                names.push_back(std::string(side) + "Finger" + std::to_string(i) + state);
    for (int i = 1; i <= 7; ++i) names.push_back("bar" + std::to_string(i));
    for (int i = 1; i <= 6; ++i) names.push_back("line" + std::to_string(i));
    for (int i = 1; i <= 6; ++i) names.push_back("bgDetailCaption" + std::to_string(i));
    return names;
}

struct Coverage {
    int opaque = 0, partial = 0, pixels = 0;
};

Coverage coverage(const QImage& image) {
    Coverage c;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(image.pixel(x, y));
            ++c.pixels;
            if (a == 255) ++c.opaque;
            else if (a > 0) ++c.partial;
        }
    return c;
}

class ArtworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        application();
        Artwork::registerAll();
    }
};

TEST_F(ArtworkTest, EveryNameTheScreensUseIsDrawn) {
    for (const std::string& name : namesTheScreensUse()) {
        ImagePtr image = Image::named(name);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_GT(image->size().width, 0) << name;
        EXPECT_GT(image->size().height, 0) << name;
    }
}

TEST_F(ArtworkTest, PicturesAreAntialiasedAndRedrawnSharpAtTwiceTheScale) {
    for (const std::string& name : namesTheScreensUse()) {
        ImagePtr image = Image::named(name);
        ASSERT_NE(image, nullptr) << name;
        const QImage one = image->render(1.0).convertToFormat(QImage::Format_ARGB32);
        const QImage two = image->render(2.0).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(two.width(), 2 * one.width()) << name;
        const Coverage c1 = coverage(one), c2 = coverage(two);
        EXPECT_GT(c1.opaque + c1.partial, c1.pixels / 50) << name << " shows something";
        if (c2.opaque == c2.pixels) continue;  // a full-bleed texture has no edge
        EXPECT_GT(c2.partial, 0) << name << " has soft edges";
        // Drawn again at the larger size rather than enlarged: the soft edge is a thinner
        // share of the picture.
        if (c1.partial > 8) {
            EXPECT_LT(double(c2.partial) / c2.pixels, double(c1.partial) / c1.pixels) << name;
        }
    }
}

TEST_F(ArtworkTest, ActiveAndInactiveFingersDiffer) {
    for (const char* side : {"left", "right"})
        for (int i = 1; i <= 5; ++i) {
            const std::string base = std::string(side) + "Finger" + std::to_string(i);
            EXPECT_NE(Image::named(base + "Active")->render(1.0), Image::named(base + "Inactive")->render(1.0)) << base;
        }
}

TEST_F(ArtworkTest, ContactSheetOfEveryNamedImage) {
    const auto names = Image::registeredNames();
    const int columns = 8, cell = 130, label = 22;
    const int rows = int((names.size() + columns - 1) / columns);
    QImage sheet(columns * cell * 2, rows * (cell + label) * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(2.0);
    sheet.fill(QColor(44, 43, 51));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setPixelSize(10);
    p.setFont(font);
    for (size_t i = 0; i < names.size(); ++i) {
        ImagePtr image = Image::named(names[i]);
        const int x = int(i % columns) * cell, y = int(i / columns) * (cell + label);
        // Small pictures are shown larger so their details can be judged; none is stretched.
        const double fit = std::min((cell - 16) / image->size().width, (cell - 16) / image->size().height);
        const double scale = std::min(fit, 4.0);
        const double w = image->size().width * scale, h = image->size().height * scale;
        p.fillRect(QRectF(x + 4, y + 4, cell - 8, cell - 8), QColor(36, 35, 42));
        image->draw(p, QRectF(x + (cell - w) / 2, y + (cell - h) / 2, w, h));
        p.setPen(QColor(220, 220, 230));
        p.drawText(QRectF(x, y + cell - 4, cell, label), Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(names[i]));
    }
    p.end();
    const QString path = QDir::currentPath() + "/contact_sheet.png";
    ASSERT_TRUE(sheet.save(path));
    EXPECT_GE(names.size(), namesTheScreensUse().size());
}

}  // namespace
}  // namespace wv
