#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/TRNMachO.h"

namespace wv {

// What identifies an ELF executable: its machine, its GNU build-id note (the linker's
// --build-id=sha1 gives 20 bytes) and its GNU ABI-tag note (the oldest kernel it runs on).
// Read from the program headers' PT_NOTE segments only, so reading touches the ELF header,
// the program headers and the notes, nothing else. Every offset and size is checked against
// the bytes given; little- and big-endian, 32- and 64-bit files are read.
struct TRNElfIdentity {
    uint16_t machine = 0;
    std::vector<uint8_t> buildID;            // empty without a build-id note
    std::optional<TRNVersionTriple> abiTag;  // none without an ABI-tag note
};

bool TRNElfIsImage(const uint8_t* base, uint64_t size);
// False when the bytes are no ELF file or its header or program headers lie outside them.
bool TRNElfReadIdentity(const uint8_t* base, uint64_t size, TRNElfIdentity* identity);
// "x86_64", "arm64", "i386", "arm", ... from e_machine; "unknown" for the rest.
std::string TRNElfArchitectureName(uint16_t machine);

}  // namespace wv
