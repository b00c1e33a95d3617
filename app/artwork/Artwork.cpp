#include "app/artwork/Artwork.h"

#include <mutex>

#include "app/artwork/ArtworkParts.h"

namespace wv {

void Artwork::registerAll() {
    static std::once_flag once;
    std::call_once(once, [] {
        artwork::registerKeys();
        artwork::registerHands();
        artwork::registerTips();
        artwork::registerControls();
        artwork::registerStatistics();
        artwork::registerFlags();
        artwork::registerBackgrounds();
    });
}

}  // namespace wv
