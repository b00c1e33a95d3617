#pragma once

namespace wv {

class LangData;
class LessonStats;

// Debug aid: stores `count` made-up lesson records of `langData` as if they had been typed,
// a history whose speed grows while the lesson climbs from 0 to the expert level, then expert
// records. Each lesson change of the climb is set on `langData` (and so announced); with
// `push` every record is also queued for the cloud. A count of 0 or below stores nothing.
void generateFakeStatistics(LangData& langData, LessonStats& stats, int count, bool push);

}  // namespace wv
