#include "platform/ui/QtConvert.h"

#include <QGuiApplication>
#include <QScreen>

namespace wv {

namespace {
QFont::Weight qtWeight(FontWeight weight) {
    switch (weight) {
        case FontWeight::UltraLight: return QFont::ExtraLight;
        case FontWeight::Light: return QFont::Light;
        case FontWeight::Regular: return QFont::Normal;
        case FontWeight::Medium: return QFont::Medium;
        case FontWeight::Semibold: return QFont::DemiBold;
        case FontWeight::Bold: return QFont::Bold;
    }
    return QFont::Normal;
}

double pointsPerPixel() {
    double dpi = 96;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (auto* screen = app->primaryScreen()) dpi = screen->logicalDotsPerInchY();
    return 72.0 / (dpi > 0 ? dpi : 96);
}
}  // namespace

QFont toQFont(const Font& font) {
    QFont q;
    if (!font.family.empty()) q.setFamily(QString::fromStdString(font.family));
    q.setPointSizeF(std::max(0.1, font.pointSize) * pointsPerPixel());
    q.setWeight(qtWeight(font.weight));
    q.setItalic(font.italic);
    q.setHintingPreference(QFont::PreferNoHinting);  // sizes then scale smoothly when fitted
    return q;
}

QString toQString(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace wv
