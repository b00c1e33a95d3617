#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sdk/core/TRNIcon.h"
#include "sdk/core/TRNMachO.h"

namespace wv {

// The identity of the running program's build: each architecture slice's UUID and the OS
// version bounds, and the instance identifier derived from them. An ELF program is one slice
// named from its machine whose UUID is its GNU build-id (40 hexadecimal characters for a
// --build-id=sha1 link), whose minimum version is its ABI tag and whose built SDK stays 0.0.0
// (ELF records none). Mach-O files and fat archives are read slice by slice.
// Built once, read-only afterwards: safe to read from any thread.
class TRNApplicationIdentiferModel {
  public:
    // None when the running program's file cannot be read.
    static std::shared_ptr<TRNApplicationIdentiferModel> initWithInstallID(std::string installID);
    // The same for another executable file (tests, tools).
    static std::shared_ptr<TRNApplicationIdentiferModel> initWithInstallID(
        std::string installID, const std::filesystem::path& executable);

    bool computeExecutableInfo();
    bool computeExecutableInfo(const std::filesystem::path& executable);
    bool computeInstanceIdentifier();

    const std::map<std::string, std::string>& architectureUUIDMap() const { return uuids_; }
    const std::string& instanceIdentifier() const { return instanceIdentifier_; }
    TRNVersionTriple builtSDK() const { return builtSDK_; }
    TRNVersionTriple minimumSDK() const { return minimumSDK_; }
    std::string builtSDKString() const;
    std::string minimumSDKString() const;
    const std::string& installID() const { return installID_; }
    const std::optional<std::string>& bundleIdentifier() const { return bundleIdentifier_; }
    // Made anew on every read, from the main bundle's icon file.
    std::shared_ptr<TRNIcon> icon() const;

  private:
    void readElf(const uint8_t* base, uint64_t size);
    void readMachO(const uint8_t* base, uint64_t size);

    std::map<std::string, std::string> uuids_;
    std::string instanceIdentifier_;
    TRNVersionTriple builtSDK_;
    TRNVersionTriple minimumSDK_;
    std::string installID_;
    std::optional<std::string> bundleIdentifier_;
};

}  // namespace wv
