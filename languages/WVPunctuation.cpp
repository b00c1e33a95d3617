#include "languages/WVPunctuation.h"

#include "languages/Graphemes.h"

namespace wv {

namespace {

// Without CR, ASCII text has one character per byte, also where the parts meet.
bool asciiWithoutCr(const std::string& s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r') return false;
    }
    return true;
}

}  // namespace

int WVPunctuation::length() const {
    // Lengths are recomputed on every step of building a line, so the plain marks skip the
    // break rules and the joined copy.
    if (asciiWithoutCr(spaceBefore) && asciiWithoutCr(value) && asciiWithoutCr(spaceAfter)) {
        const size_t joined = spaceBefore.size() + value.size() + spaceAfter.size();
        return int(joined +
                   (asciiWithoutCr(inversion) ? inversion.size() : graphemeCount(inversion)));
    }
    return int(graphemeCount(spaceBefore + value + spaceAfter) + graphemeCount(inversion));
}

}  // namespace wv
