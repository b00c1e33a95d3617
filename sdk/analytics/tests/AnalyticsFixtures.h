#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/plist/Value.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/Tarnel.h"

namespace wv::testing {

// A run of a host application for the current test: its own folder, a main bundle with the
// given Info.plist, an SDK store and a shared object made from them (no settings hand-over).
class HostRun {
  public:
    explicit HostRun(const plist::Dictionary& info)
        : root_(Folders::dataHome() / "runs" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          bundleReady_(writeBundle(root_, info)),
          bundle_(root_ / "bundle"),
          store_(root_ / "store", "com.example.app", nullptr),
          tarnel_(store_, std::filesystem::path(),
                  [](std::shared_ptr<TRNApplicationIdentiferModel>) { return nullptr; }) {}
    ~HostRun() { std::filesystem::remove_all(root_); }

    const std::filesystem::path& root() const { return root_; }
    Tarnel& tarnel() { return tarnel_; }

    static plist::Dictionary info(const std::string& version = "412",
                                  const std::string& shortVersion = "2.3.1") {
        plist::Dictionary tarnel;
        tarnel.set("APIKey", "KEY-123");
        tarnel.set("Kits", plist::Array{});
        plist::Dictionary d;
        d.set("CFBundleIdentifier", "com.example.app");
        d.set("CFBundleVersion", version);
        d.set("CFBundleShortVersionString", shortVersion);
        d.set("Tarnel", tarnel);
        return d;
    }

  private:
    static bool writeBundle(const std::filesystem::path& root, const plist::Dictionary& info) {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "bundle");
        return plist::writeFile(root / "bundle" / "Info.plist", plist::Value(info));
    }

    std::filesystem::path root_;
    bool bundleReady_;
    ScopedMainBundle bundle_;
    QXUserDefaults store_;
    Tarnel tarnel_;
};

}  // namespace wv::testing
