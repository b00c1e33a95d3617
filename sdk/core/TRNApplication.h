#pragma once

#include <optional>
#include <string>

namespace wv {

// The running application as its main bundle's Info.plist describes it. Read on every call
// (the bundle caches the file), so a test's ScopedMainBundle is seen at once.

// CFBundleIdentifier with every "/" replaced by "_"; none when the bundle has no identifier.
std::optional<std::string> TRNApplicationBundleIdentifier();
std::optional<std::string> TRNApplicationBuildVersion();    // CFBundleVersion
std::optional<std::string> TRNApplicationDisplayVersion();  // CFBundleShortVersionString
// CFBundleDisplayName, else CFBundleName, else the build version.
std::optional<std::string> TRNApplicationName();
// No application store installs programs here with a receipt: always false.
bool TRNAppStoreReceiptExists();
bool TRNApplicationIsSignedForDistribution();  // QuellixSignedForDistribution
// 4 with a store receipt, 3 when signed for distribution, else 1.
int TRNApplicationInstallSource();
// False in Orvelle mode; else Tarnel/ReportIdentifiers, else QuellixCollectDeviceIdentifiers,
// else true.
bool TRNShouldCollectDeviceIdentifiers();
// The same rule for a given mode, without asking the shared SDK object.
bool TRNShouldCollectDeviceIdentifiersInMode(bool orvelleMode);

// "/" to "_", the form every file and folder name of the SDK uses.
std::string TRNEscapedBundleIdentifier(std::string identifier);

}  // namespace wv
