#pragma once

#include <functional>

namespace wv {

// Finishes an animation group: the screens' own completion runs with true once the group's
// animation has ended (pass this as the group's completion).
class WVAnimation {
public:
    static void completionHandler(const std::function<void(bool)>& completion);
};

}  // namespace wv
