#pragma once

#include <vector>

#include "engine/WVCloudProtocol.h"

namespace wv {

// A cloud service that only remembers what it was handed; for tests and for runs without a
// cloud account.
class RecordingCloud : public WVCloudProtocol {
  public:
    void addLesson(LessonInfoPtr lesson) override { queued.push_back(std::move(lesson)); }
    void fetchChanges() override { ++fetchCount; }

    std::vector<LessonInfoPtr> queued;
    int fetchCount = 0;
};

}  // namespace wv
