#include "cloud/CloudServices.h"

#include "cloud/WVCloud.h"
#include "cloud/WVCloudKeyValue.h"

namespace wv {

ModelServices CloudServices::forProgram() {
    // The configuration is read without making the container, so an unconfigured start
    // makes no container, thread or file.
    if (!ck::CloudConfiguration::standard().configured()) return {};
    return forContainer(ck::Container::defaultContainer(), UserDefaults::standard());
}

ModelServices CloudServices::forContainer(ck::Container& container, UserDefaults& defaults) {
    ModelServices services;
    ck::Container* reached = &container;
    UserDefaults* kept = &defaults;
    services.makeCloud = [reached, kept](LessonStats& stats) -> std::unique_ptr<WVCloudProtocol> {
        return std::make_unique<WVCloud>(*reached, *kept, stats);
    };
    services.makeCloudKeyValue = [reached]() -> std::unique_ptr<WVCloudKeyValueProtocol> {
        return std::make_unique<WVCloudKeyValue>(*reached);
    };
    return services;
}

void CloudServices::registerForRemoteNotifications(
    std::function<void(const plist::Dictionary& userInfo)> handler) {
    if (!ck::CloudConfiguration::standard().configured()) return;
    ck::Container::defaultContainer().registerForRemoteNotifications(std::move(handler));
}

}  // namespace wv
