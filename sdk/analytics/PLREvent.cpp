#include "sdk/analytics/PLREvent.h"

#include "sdk/core/TRNHashing.h"

namespace wv {

PLREvent::PLREvent() : timestamp_(wallNow()), identifier_(TRNGenerateUUIDString()) {}

std::string PLREvent::description() const { return "<PLREvent: " + name() + ">"; }

}  // namespace wv
