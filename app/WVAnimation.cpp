#include "app/WVAnimation.h"

namespace wv {

void WVAnimation::completionHandler(const std::function<void(bool)>& completion) {
    if (completion) completion(true);
}

}  // namespace wv
