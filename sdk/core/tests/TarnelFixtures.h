#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Folders.h"
#include "platform/plist/Value.h"
#include "sdk/core/TRNKit.h"

namespace wv::testing {

// A bundle folder with the given Info.plist (none: no file) as the main bundle.
class FixtureBundle {
  public:
    FixtureBundle(const std::string& name, const std::optional<plist::Dictionary>& info)
        : root_(Folders::dataHome() / "bundles" / (name + std::to_string(counter()++))),
          scoped_((std::filesystem::create_directories(root_), root_)) {
        if (info) plist::writeFile(root_ / "Info.plist", plist::Value(*info));
    }
    ~FixtureBundle() { std::filesystem::remove_all(root_); }
    const std::filesystem::path& root() const { return root_; }

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path root_;
    ScopedMainBundle scoped_;
};

inline plist::Dictionary dict(std::initializer_list<std::pair<const char*, plist::Value>> entries) {
    plist::Dictionary d;
    for (const auto& [key, value] : entries) d.set(key, value);
    return d;
}

inline plist::Dictionary infoWithKey(const std::string& key = "KEY-123") {
    return dict({{"CFBundleIdentifier", "com.example.app"},
                 {"Tarnel", dict({{"APIKey", key}, {"Kits", plist::Array{}}})}});
}

// Kit classes whose starts are written into one shared journal.
class FakeKits {
  public:
    TRNKitClass& kit(const std::string& name, const std::string& identifier = "",
                     bool declaresKit = true) {
        auto kit = std::make_unique<TRNKitClass>();
        kit->name = name;
        kit->declaresTRNKit = declaresKit;
        if (declaresKit) {
            const std::string id = identifier.empty() ? "com.fake." + name : identifier;
            kit->bundleIdentifier = [id] { return id; };
            kit->kitDisplayVersion = [] { return std::string("2.0"); };
            kit->initializeIfNeeded = [this, name] { started.push_back(name); };
        }
        kits_.push_back(std::move(kit));
        return *kits_.back();
    }
    // An older-form kit; `complete` false leaves out its instance's `version`.
    TRNKitClass& legacy(const std::string& name, bool complete) {
        TRNKitClass& kit = this->kit(name, "", false);
        auto instance = std::make_shared<TRNLegacyKitInstance>();
        instance->start = [this, name] { started.push_back(name); };
        instance->bundleIdentifier = [name] { return "com.legacy." + name; };
        if (complete) instance->version = [] { return std::string("0.9"); };
        kit.sharedInstance = [instance] { return instance; };
        return kit;
    }
    void link(const TRNKitClass& kit) {
        links_.push_back(std::make_unique<ScopedClassRegistration>(kit.name, &kit));
    }
    void linkName(const std::string& name) {
        links_.push_back(std::make_unique<ScopedClassRegistration>(name, 0));
    }

    std::vector<std::string> started;

  private:
    std::vector<std::unique_ptr<TRNKitClass>> kits_;
    std::vector<std::unique_ptr<ScopedClassRegistration>> links_;
};

}  // namespace wv::testing
