#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

// The platform's signal that the user's language changed; the program posts it itself too.
inline constexpr std::string_view kCurrentLocaleDidChangeNotification =
    "NSCurrentLocaleDidChangeNotification";

struct Notification {
    std::string name;
    const void* sender = nullptr;  // none when posted without a sender
    std::map<std::string, std::any> userInfo;
};

// Named notifications, delivered synchronously on the posting thread to the observers of that
// name, in the order they were added. The observer list is copied before delivery and no lock
// is held while an observer runs, so observers may add or remove observers (themselves too)
// and post; an observer removed before its turn is not called.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;
    using ObserverToken = uint64_t;

    static NotificationCenter& defaultCenter();

    // `sender` restricts the observer to notifications from that sender; nullptr takes any.
    ObserverToken addObserver(std::string name, const void* sender, Block block);
    void removeObserver(ObserverToken token);

    void post(std::string name, const void* sender = nullptr,
              std::map<std::string, std::any> userInfo = {});
    void post(const Notification& notification);

private:
    struct Entry {
        ObserverToken token;
        std::string name;
        const void* sender;
        Block block;
        bool active = true;
    };
    std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    ObserverToken nextToken_ = 1;
};

}  // namespace wv
