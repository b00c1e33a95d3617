#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <utility>

namespace wv {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name,
                                                                  const void* sender, Block block) {
    std::lock_guard lock(mutex_);
    const ObserverToken token = nextToken_++;
    entries_.push_back(
        std::make_shared<Entry>(Entry{token, std::move(name), sender, std::move(block)}));
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return e->token == token; });
    if (it == entries_.end()) return;
    (*it)->active = false;
    entries_.erase(it);
}

void NotificationCenter::post(std::string name, const void* sender,
                              std::map<std::string, std::any> userInfo) {
    post(Notification{std::move(name), sender, std::move(userInfo)});
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (e->name != notification.name) continue;
            if (e->sender && e->sender != notification.sender) continue;
            targets.push_back(e);
        }
    }
    for (const auto& e : targets) {
        bool active;
        {
            std::lock_guard lock(mutex_);
            active = e->active;
        }
        if (active && e->block) e->block(notification);
    }
}

}  // namespace wv
