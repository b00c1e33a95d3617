#include "sdk/core/TRNApplicationIdentiferModel.h"

#include "sdk/core/TRNAppIconUtility.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNElf.h"
#include "sdk/core/TRNHashing.h"

namespace wv {

namespace {

// The running program's file, whatever name or relative path it was started under.
const std::filesystem::path kMainExecutable = "/proc/self/exe";

std::shared_ptr<TRNApplicationIdentiferModel> finish(
    std::shared_ptr<TRNApplicationIdentiferModel> model) {
    model->computeInstanceIdentifier();
    return model;
}

}  // namespace

std::shared_ptr<TRNApplicationIdentiferModel> TRNApplicationIdentiferModel::initWithInstallID(
    std::string installID) {
    return initWithInstallID(std::move(installID), kMainExecutable);
}

std::shared_ptr<TRNApplicationIdentiferModel> TRNApplicationIdentiferModel::initWithInstallID(
    std::string installID, const std::filesystem::path& executable) {
    auto model = std::make_shared<TRNApplicationIdentiferModel>();
    if (!model->computeExecutableInfo(executable)) return nullptr;
    model->installID_ = std::move(installID);
    model->bundleIdentifier_ = TRNApplicationBundleIdentifier();
    return finish(model);
}

bool TRNApplicationIdentiferModel::computeExecutableInfo() {
    return computeExecutableInfo(kMainExecutable);
}

bool TRNApplicationIdentiferModel::computeExecutableInfo(const std::filesystem::path& executable) {
    TRNMachOMappedFile file;
    if (!TRNMachOMappedFileInit(&file, executable.c_str())) return false;
    uuids_.clear();
    if (TRNElfIsImage(file.base, uint64_t(file.size))) {
        readElf(file.base, uint64_t(file.size));
    } else {
        readMachO(file.base, uint64_t(file.size));
    }
    TRNMachOMappedFileDestroy(&file);
    return true;
}

void TRNApplicationIdentiferModel::readElf(const uint8_t* base, uint64_t size) {
    TRNElfIdentity identity;
    if (!TRNElfReadIdentity(base, size, &identity)) return;
    const std::string name = TRNElfArchitectureName(identity.machine);
    if (!identity.buildID.empty()) uuids_[name] = TRNHexStringFromData(identity.buildID);
    if (identity.abiTag) minimumSDK_ = *identity.abiTag;
}

void TRNApplicationIdentiferModel::readMachO(const uint8_t* base, uint64_t size) {
    TRNMachOEnumerateSlices(base, size, [&](const TRNMachOSlice& found) {
        TRNMachOSlice slice = found;
        const std::string name = TRNMachOSliceArchitectureName(slice);
        TRNMachOEnumerateLoadCommands(
            &slice, [&](uint32_t type, uint32_t commandSize, const uint8_t* command) {
                uint8_t uuid[16];
                if (type == kTRNLoadCommandUUID &&
                    TRNMachOLoadCommandGetUUID(command, commandSize, uuid)) {
                    uuids_[name] = TRNMachOUUIDString(uuid);
                } else if ((type == kTRNLoadCommandVersionMinMacOSX ||
                            type == kTRNLoadCommandVersionMinIPhoneOS) &&
                           commandSize >= 16) {
                    minimumSDK_ = TRNMachOLoadCommandGetMinimumOSVersion(command, commandSize);
                    builtSDK_ = TRNMachOLoadCommandGetSDKVersion(command, commandSize);
                }
            });
    });
}

bool TRNApplicationIdentiferModel::computeInstanceIdentifier() {
    // std::map keeps the architecture names in ascending order.
    std::string joined;
    for (const auto& [name, uuid] : uuids_) joined += uuid;
    instanceIdentifier_ = TRNSHA1HexDigest(joined.data(), joined.size());
    return true;
}

std::string TRNApplicationIdentiferModel::builtSDKString() const {
    return *TRNVersionTripleString(&builtSDK_);
}

std::string TRNApplicationIdentiferModel::minimumSDKString() const {
    return *TRNVersionTripleString(&minimumSDK_);
}

std::shared_ptr<TRNIcon> TRNApplicationIdentiferModel::icon() const {
    return TRNAppIconUtility().applicationIcon();
}

}  // namespace wv
