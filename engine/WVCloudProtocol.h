#pragma once

#include "engine/LessonInfo.h"

namespace wv {

// The cloud service as the engine sees it: where new lesson records are queued for the
// learner's private cloud database, and how a change notification is followed up.
class WVCloudProtocol {
  public:
    virtual ~WVCloudProtocol() = default;
    // Queued while the cloud account is available, dropped otherwise.
    virtual void addLesson(LessonInfoPtr lesson) = 0;
    // Fetches the changes since the saved change token; skipped while a fetch runs.
    virtual void fetchChanges() = 0;
};

}  // namespace wv
