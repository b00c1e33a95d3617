#include "platform/foundation/AlertPresenter.h"

#include <any>

#include "platform/foundation/ClassRegistry.h"

namespace wv {

void registerAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
    if (!presenter) return;
    ClassRegistry::shared().registerClass(std::string(kAlertClassName), std::move(presenter));
}

void unregisterAlertPresenter(const std::shared_ptr<AlertPresenter>& presenter) {
    // Check and removal are two steps; a presenter linked between them by another thread
    // would be lost, but presenters are linked at start-up and by tests, one at a time.
    if (presenter && registeredAlertPresenter() == presenter)
        ClassRegistry::shared().unregisterClass(kAlertClassName);
}

std::shared_ptr<AlertPresenter> registeredAlertPresenter() {
    const std::any linked = ClassRegistry::shared().classNamed(kAlertClassName);
    if (const auto* presenter = std::any_cast<std::shared_ptr<AlertPresenter>>(&linked))
        return *presenter;
    return nullptr;
}

}  // namespace wv
