#include "engine/LessonAverageInfo.h"

namespace wv {

float LessonAverageInfo::barValue() const {
    const float value = float(maxSpeedCPM) / 100.0f;
    if (value > 3.0f) return 3.0f;
    if (value == 0.0f && wasActive) return 0.5f;
    return value;
}

}  // namespace wv
