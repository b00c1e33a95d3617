// Key caps of the on-screen keyboard and of the tip panel.
#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

void registerKeys() {
    using namespace palette;
    const Size key{60, 60};
    Image::registerNamed("key", key, [](QPainter& p, Size s) { drawKeyCap(p, area(s), kKeyFace); });
    Image::registerNamed("keyBorderCorrect", key, [](QPainter& p, Size s) {
        drawKeyCap(p, area(s), kKeyFace.lighter(112), kHighlight, 2.5);
    });
    Image::registerNamed("keyBorderError", key, [](QPainter& p, Size s) {
        drawKeyCap(p, area(s), kKeyFace, kError, 2.5);
    });
    Image::registerNamed("keyCommandPressed", key, [](QPainter& p, Size s) {
        drawKeyCap(p, area(s), kHighlight, kHighlight.lighter(130), 1.0);
    });
    Image::registerNamed("keyCommandDisabled", key, [](QPainter& p, Size s) {
        drawKeyCap(p, area(s), kKeyFace.darker(125));
    });
    // The small cap that shows a key's legend in a tip.
    Image::registerNamed("tipMainButton", Size{23, 23}, [](QPainter& p, Size s) {
        drawKeyCap(p, area(s), kKeyFace.lighter(125), QColor(255, 255, 255, 60), 1.0);
    });
}

}  // namespace wv::artwork
