#pragma once

namespace wv {

// Makes every named image registered so far draw from a picture rendered once for each size
// and scale it is shown at, rather than drawing its paths again at every repaint: the hands
// alone would otherwise take milliseconds of each key press. Pictures shown turned (not just
// scaled) are drawn as before. Call after the images are registered and before any view takes
// them; calling again changes nothing.
void cacheNamedImages();

}  // namespace wv
