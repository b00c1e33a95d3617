#include "engine/services/ModelServices.h"

#include "engine/services/NoAnalyticsEvents.h"
#include "engine/services/NoCloud.h"
#include "engine/services/NoCloudKeyValue.h"

namespace wv {

ModelServices ModelServices::completed() const {
    ModelServices services = *this;
    if (!services.makeCloud) {
        services.makeCloud = [](LessonStats&) { return std::make_unique<NoCloud>(); };
    }
    if (!services.makeCloudKeyValue) {
        services.makeCloudKeyValue = [] { return std::make_unique<NoCloudKeyValue>(); };
    }
    if (!services.analytics) services.analytics = std::make_shared<NoAnalyticsEvents>();
    return services;
}

}  // namespace wv
