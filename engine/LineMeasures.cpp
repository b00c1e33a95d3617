#include "engine/LineMeasures.h"

#include <algorithm>
#include <cmath>

namespace wv {

int accuracyPercent(int total, int typos) {
    if (total < 1 || typos < 1) return 100;
    const float right = 1.0f - float(typos) / float(total);
    return std::max(0, int(std::floor(right * 100.0f)));
}

int charactersPerMinute(int characters, double seconds) {
    if (!(seconds > 0)) return 0;
    return int(double(characters) / seconds * 60.0);
}

}  // namespace wv
