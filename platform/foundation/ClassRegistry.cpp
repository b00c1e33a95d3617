#include "platform/foundation/ClassRegistry.h"

namespace wv {

ClassRegistry& ClassRegistry::shared() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerClass(std::string name, std::any classObject) {
    std::lock_guard lock(mutex_);
    classes_[std::move(name)] = std::move(classObject);
}

void ClassRegistry::unregisterClass(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (auto it = classes_.find(name); it != classes_.end()) classes_.erase(it);
}

bool ClassRegistry::isLinked(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return classes_.find(name) != classes_.end();
}

std::any ClassRegistry::classNamed(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(name);
    return it == classes_.end() ? std::any() : it->second;
}

ScopedClassRegistration::ScopedClassRegistration(std::string name, std::any classObject)
    : name_(std::move(name)), previous_(ClassRegistry::shared().classNamed(name_)) {
    ClassRegistry::shared().registerClass(name_, std::move(classObject));
}

ScopedClassRegistration::~ScopedClassRegistration() {
    if (previous_.has_value()) {
        ClassRegistry::shared().registerClass(name_, std::move(previous_));
    } else {
        ClassRegistry::shared().unregisterClass(name_);
    }
}

}  // namespace wv
