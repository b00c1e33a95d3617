#pragma once

#include <QRect>
#include <QRegion>
#include <algorithm>
#include <vector>

namespace wv {

// Qt's raster engine blends or copies under a clip of several rectangles span by span, and
// hands an operation of about a hundred spans (rows of the clip's rectangles) or more to its
// thread pool and waits for it; on a busy machine that wait costs a key press more than the
// work. Drawing such a region in plain rectangles of few rows keeps every piece on the caller.
inline constexpr int kThreadedSpans = 96;

// The rectangles of `region`, each cut into bands of at most `rows` rows.
inline std::vector<QRect> bandsOf(const QRegion& region, int rows) {
    std::vector<QRect> bands;
    for (const QRect& r : region)
        for (int y = r.top(); y <= r.bottom(); y += rows)
            bands.emplace_back(r.left(), y, r.width(), std::min(rows, r.bottom() + 1 - y));
    return bands;
}

}  // namespace wv
