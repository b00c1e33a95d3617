#include "sdk/core/TRNKit.h"

#include "sdk/core/TRNPlurioOperations.h"

#include <any>

#include "platform/foundation/ClassRegistry.h"

namespace wv {

void TRNRegisterKitClass(const TRNKitClass& kitClass) {
    ClassRegistry::shared().registerClass(kitClass.name, &kitClass);
}

const TRNKitClass* TRNKitClassNamed(std::string_view name) {
    const std::any found = ClassRegistry::shared().classNamed(name);
    if (auto* kit = std::any_cast<const TRNKitClass*>(&found)) return *kit;
    return nullptr;
}

std::shared_ptr<const TRNPlurioOperations> TRNPlurioOperationsIfLinked() {
    const TRNKitClass* kit = TRNKitClassNamed(TRNPlurioOperations::kClassName);
    if (!kit) return nullptr;
    if (auto* ops = std::any_cast<std::shared_ptr<const TRNPlurioOperations>>(&kit->operations)) {
        return *ops;
    }
    return nullptr;
}

bool TRNClassIsLinked(std::string_view name) { return ClassRegistry::shared().isLinked(name); }

const TRNKitClass& AdReachKit() {
    static const TRNKitClass kit = [] {
        TRNKitClass k;
        k.name = "AdReachKit";
        k.declaresTRNKit = true;
        k.bundleIdentifier = [] { return std::string("com.halvard.adreach.ios"); };
        k.kitDisplayVersion = [] { return std::string("0.0.0"); };
        k.sharedInstance = [] {
            static auto instance = std::make_shared<TRNLegacyKitInstance>();
            return instance;
        };
        return k;
    }();
    return kit;
}

}  // namespace wv
