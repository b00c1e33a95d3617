#pragma once

#include <functional>

#include "engine/services/ModelServices.h"
#include "platform/cloudkit/Container.h"
#include "platform/plist/UserDefaults.h"
#include "platform/plist/Value.h"

namespace wv {

// Puts the cloud layer into the hub: the synchronisation service and the key-value settings
// on a container, its callbacks on the main queue. Without a configured cloud it hands out
// nothing, so the hub keeps its do-nothing services and no cloud file or thread is touched.
class CloudServices {
  public:
    // Over the program's own container and user defaults.
    static ModelServices forProgram();
    // Over the given ones (another installation in the same process, a test).
    static ModelServices forContainer(ck::Container& container, UserDefaults& defaults);
    // Remote notifications of the program's container go to `handler` on the main queue;
    // nothing without a configured cloud.
    static void registerForRemoteNotifications(
        std::function<void(const plist::Dictionary& userInfo)> handler);
};

}  // namespace wv
