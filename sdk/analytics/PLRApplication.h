#pragma once

#include <any>
#include <optional>
#include <string>

#include "platform/plist/Value.h"

namespace wv {

// The host application as its Info.plist describes it, as far as the analytics kit asks.
class PLRApplication {
  public:
    explicit PLRApplication(plist::Dictionary infoPlistDict);
    // Over the main bundle's Info.plist (empty when it has none).
    static PLRApplication hostApplication();

    const plist::Dictionary& infoPlistDict() const { return info_; }
    std::optional<std::string> bundleIdentifier() const;
    std::optional<std::string> bundleVersion() const;
    std::optional<std::string> shortVersionString() const;
    // "NSExtension" when it is a dictionary; a malformed entry is reported to the system log.
    std::optional<plist::Dictionary> extensionDefinitionDictionary() const;
    std::optional<std::string> extensionPointIdentifier() const;
    bool isExtension() const;
    // Nothing for an extension; else the class object linked as "NSApplication", if any.
    std::any appSharedInstance() const;

  private:
    std::optional<std::string> string(const char* key) const;
    plist::Dictionary info_;
};

}  // namespace wv
