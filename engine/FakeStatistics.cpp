#include "engine/FakeStatistics.h"

#include <string>

#include "engine/LessonStats.h"
#include "engine/LineMeasures.h"
#include "languages/LangData.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

constexpr int kExpertLesson = 6;
constexpr int kLeastLevelUpSpeed = 53;
constexpr int kGrowingSpeedLimit = 250;

// Typo pairs "ab", "bc", ... : `count` of them, "a" typed as "b" first.
std::string typoPairs(int count) {
    std::string pairs;
    for (int i = 0; i < count; ++i) {
        pairs += char('a' + i);
        pairs += char('b' + i);
    }
    return pairs;
}

// Every fake record counts as if typed over 100 characters.
int accuracyOf(const std::string& pairs) {
    return accuracyPercent(100, int(text::characterCount(pairs)) / 2);
}

void store(LessonStats& stats, double time, int speed, const std::string& pairs, LangData& lang,
           bool push) {
    auto row = LessonsStatsDBTable::rowDictionary(time, speed, pairs, accuracyOf(pairs), lang);
    stats.addLesson(row, push);
    stats.sessionSkipped = false;
}

}  // namespace

void generateFakeStatistics(LangData& langData, LessonStats& stats, int count, bool push) {
    int level = 0;
    int grown = 0;
    for (int record = 0; record < count; ++record) {
        if (level <= kExpertLesson) {
            langData.setDifficulty(level);
            int speed = 5 * grown + 30 + (int(randomUniform(66)) - 25);
            const double time = 100.0 / speed;
            std::string pairs = typoPairs(int(randomUniform(5)) + 1);
            if (randomUniform(uint32_t(level + 6)) == 0) {
                ++level;
                pairs.clear();
                if (speed < kLeastLevelUpSpeed) speed = kLeastLevelUpSpeed;
            }
            store(stats, time, speed, pairs, langData, push);
            if (speed < kGrowingSpeedLimit) ++grown;
        } else {
            const int r = int(randomUniform(101));
            const std::string pairs = typoPairs(int(randomUniform(6)));
            const int speed = 280 + r;
            store(stats, 100.0 / speed, speed, pairs, langData, push);
            ++level;
        }
    }
}

}  // namespace wv
