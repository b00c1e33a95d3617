#pragma once

#include <cstdint>
#include <string>

#include "sdk/core/TRNElf.h"
#include "sdk/core/TRNMachO.h"

namespace wv::testing {

// Everything the readers can do with untrusted bytes, in one call: the bad-input tests and the
// fuzzer run it over hostile images. Returns how many UUIDs it found (so nothing is optimised
// away and the tests can check what survived).
inline int walkImage(const uint8_t* data, size_t size) {
    int uuids = 0;
    TRNElfIdentity identity;
    if (TRNElfReadIdentity(data, size, &identity)) uuids += identity.buildID.empty() ? 0 : 1;
    TRNMachOEnumerateSlices(data, size, [&](const TRNMachOSlice& found) {
        TRNMachOSlice slice = found;
        (void)TRNMachOSliceArchitectureName(slice);
        TRNMachOEnumerateLoadCommands(
            &slice, [&](uint32_t type, uint32_t length, const uint8_t* c) {
                uint8_t uuid[16];
                if (TRNMachOLoadCommandGetUUID(c, length, uuid) && type == kTRNLoadCommandUUID)
                    ++uuids;
                (void)TRNMachOLoadCommandGetDylibName(c, length);
                (void)TRNMachOLoadCommandIsEncrypted(c, length);
                (void)TRNMachOLoadCommandGetMinimumOSVersion(c, length);
                (void)TRNMachOLoadCommandGetSDKVersion(c, length);
                (void)TRNMachOLoadCommandGetSegment(c, length);
            });
        (void)TRNMachOSliceSectionData(slice, "__TEXT", "__text");
        (void)TRNMachOSliceSectionData(slice, "__TEXT", "__eh_frame");
    });
    return uuids;
}

}  // namespace wv::testing
