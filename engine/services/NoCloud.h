#pragma once

#include "engine/WVCloudProtocol.h"

namespace wv {

// A cloud service that drops every record: what the engine uses until a cloud layer is
// plugged in, and while no cloud account is available.
class NoCloud : public WVCloudProtocol {
  public:
    void addLesson(LessonInfoPtr) override {}
    void fetchChanges() override {}
};

}  // namespace wv
