#include "languages/WVPunctuation.h"

#include "languages/Graphemes.h"

namespace wv {

int WVPunctuation::length() const {
    return int(graphemeCount(spaceBefore + value + spaceAfter) + graphemeCount(inversion));
}

}  // namespace wv
