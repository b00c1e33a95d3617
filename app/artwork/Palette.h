#pragma once

#include <QColor>

namespace wv::palette {

// The colours every picture is drawn from, so the pictures belong together.
inline const QColor kWindow(44, 43, 51);           // the main window's background
inline const QColor kKeyFace(58, 58, 70);          // a key cap
inline const QColor kKeyFaceTop(68, 68, 82);       // its lit upper edge
inline const QColor kKeyEdge(30, 30, 38);          // its lower edge and outline
inline const QColor kHighlight(74, 144, 226);      // next key, lit modifiers, active fingers
inline const QColor kError(255, 45, 85);           // typos
inline const QColor kGreen(77, 179, 107);          // improvement, switches that are on
inline const QColor kOrange(245, 166, 35);         // manual mode, retry
inline const QColor kGold(247, 195, 66);           // stars
inline const QColor kInk(255, 255, 255);           // marks on dark ground
inline const QColor kMuted(120, 120, 136);         // inactive things
inline const QColor kTrack(84, 84, 98);            // switch tracks, empty bars

// The colour of each lesson group (lessons 1 to 6, then expert), shared by the bars, the
// tray's lines and the caption of the details panel.
inline QColor lessonColor(int index) {
    static const QColor colors[] = {{74, 144, 226}, {80, 200, 198}, {77, 179, 107}, {247, 195, 66},
                                    {245, 140, 50}, {255, 95, 90},  {180, 124, 255}};
    return colors[index < 0 ? 0 : index > 6 ? 6 : index];
}

}  // namespace wv::palette
