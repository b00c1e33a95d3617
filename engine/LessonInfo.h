#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "languages/Language.h"
#include "storage/Utils.h"

namespace wv {

// One stored lesson record: a finished line as the "sessions" table keeps it. Records are
// shared, never changed: the statistics list and the tree hold the same objects.
struct LessonInfo {
    int64_t id = 0;
    std::string localTime;  // the stored timestamp text, "yyyy-MM-dd HH:mm:ss"
    double time = 0;        // seconds the line took
    Date date;              // localTime read in the zone it was written in
    int accuracy = 0;       // percent
    int speedCPM = 0;
    int mistypesCount = 0;
    std::string mistypes;  // per typo the expected then the typed character
    int difficulty = 0;    // 0..5 letter-group lessons, 6 expert
    bool isDiffAuto = false;
    Language language = Language::en;
    std::optional<int> layoutIdx;  // none only for records built without one
    bool isDeleteOn = false;
    bool isNumbersOn = false;
    bool isCapitalsOn = false;
    bool isPunctuationOn = false;
    bool isExpert = false;

    // (expected characters, typed characters), one of each per typo in typo order. An odd
    // number of characters cannot be split into pairs: that is reported and gives no typos.
    std::pair<std::string, std::string> splitMistypes() const;

    friend bool operator==(const LessonInfo&, const LessonInfo&) = default;
};

using LessonInfoPtr = std::shared_ptr<const LessonInfo>;

}  // namespace wv
