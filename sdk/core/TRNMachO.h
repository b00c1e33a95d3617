#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace wv {

// Reading Mach-O executables and fat archives over bytes, and the loaded-image questions the
// crash kit asks of the images of the running process (which on Linux are ELF images).
//
// Every offset, size and count read from an image is checked against the bytes known to be
// there: a mapped file's size, or a fat entry's size. Lying input yields no slice, no command
// or a failed lookup, never a read past the end. No function keeps state; all are safe from
// any thread and allocate only where they return a string.

struct TRNMachOMappedFile {
    int32_t fileDescriptor = -1;
    int64_t size = 0;
    const uint8_t* base = nullptr;
};

// A Mach-O header. `size` is how many bytes from `header` may be read (0 for a header that
// only names a loaded image: nothing is then walked).
struct TRNMachOSlice {
    const uint8_t* header = nullptr;
    int32_t cpuType = 0;
    int32_t cpuSubtype = 0;
    uint64_t size = 0;
};

struct TRNMachOSection {
    uint64_t address = 0;
    uint64_t size = 0;
    uint32_t offset = 0;
};

struct TRNMachOSegment {
    char name[16] = {};  // not necessarily NUL-terminated
    uint64_t vmAddress = 0;
    uint64_t vmSize = 0;
};

struct TRNVersionTriple {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    bool operator==(const TRNVersionTriple&) const = default;
};

inline constexpr uint32_t kTRNMachOFatMagic = 0xcafebabe;
inline constexpr uint32_t kTRNMachOMagic32 = 0xfeedface;
inline constexpr uint32_t kTRNMachOMagic64 = 0xfeedfacf;
inline constexpr uint32_t kTRNMachOCigam32 = 0xcefaedfe;
inline constexpr uint32_t kTRNMachOCigam64 = 0xcffaedfe;
inline constexpr uint32_t kTRNLoadCommandSegment = 0x1;
inline constexpr uint32_t kTRNLoadCommandSegment64 = 0x19;
inline constexpr uint32_t kTRNLoadCommandUUID = 0x1b;
inline constexpr uint32_t kTRNLoadCommandVersionMinMacOSX = 0x24;
inline constexpr uint32_t kTRNLoadCommandVersionMinIPhoneOS = 0x25;
inline constexpr int32_t kTRNCPUArchABI64 = 0x01000000;

// Maps a regular file of at least 16 bytes read-only; false (and a cleared record) otherwise.
bool TRNMachOMappedFileInit(TRNMachOMappedFile* file, const char* path);
// The running program's file (/proc/self/exe).
bool TRNMachOMappedFileInitWithMainExecutable(TRNMachOMappedFile* file);
void TRNMachOMappedFileDestroy(TRNMachOMappedFile* file);

// The running program's header in memory and the CPU type of this machine; zero when unknown.
TRNMachOSlice TRNMachOSliceForMainExecutable();
TRNMachOSlice TRNMachOSliceWithHeader(const uint8_t* header, uint64_t size);
// The file the loaded image with this header came from; none for no loaded image.
std::optional<std::string> TRNMachOSliceImagePath(const TRNMachOSlice& slice);
bool TRNMachOSliceIs64Bit(const TRNMachOSlice& slice);

using TRNMachOSliceBlock = std::function<void(const TRNMachOSlice& slice)>;
void TRNMachOEnumerateSlicesInMappedFile(const TRNMachOMappedFile& file,
                                         const TRNMachOSliceBlock& block);
// A fat archive gives one slice per entry that lies inside the bytes, in file order; anything
// else gives one slice on `base` (CPU fields from a thin Mach-O header, else zero).
void TRNMachOEnumerateSlices(const uint8_t* base, uint64_t size, const TRNMachOSliceBlock& block);
TRNMachOSlice TRNMachOSliceForArchitectureName(const TRNMachOMappedFile& file, const char* name);
std::string TRNMachOSliceArchitectureName(const TRNMachOSlice& slice);
std::string TRNMachOArchitectureName(int32_t cpuType, int32_t cpuSubtype);

// Calls the block for each load command whose whole size lies inside the slice and the
// header's command area; stops at the first that does not, or whose size is below 8.
// Fills the slice's CPU fields from the header.
using TRNMachOLoadCommandBlock =
    std::function<void(uint32_t type, uint32_t size, const uint8_t* command)>;
void TRNMachOEnumerateLoadCommands(TRNMachOSlice* slice, const TRNMachOLoadCommandBlock& block);

// Readers of one command (its address and its size as the walk reported them); each fails on
// a command too short for what it reads.
bool TRNMachOLoadCommandGetUUID(const uint8_t* command, uint32_t size, uint8_t uuid[16]);
const char* TRNMachOLoadCommandGetDylibName(const uint8_t* command, uint32_t size);
bool TRNMachOLoadCommandIsEncrypted(const uint8_t* command, uint32_t size);
TRNVersionTriple TRNMachOLoadCommandGetMinimumOSVersion(const uint8_t* command, uint32_t size);
TRNVersionTriple TRNMachOLoadCommandGetSDKVersion(const uint8_t* command, uint32_t size);
TRNMachOSegment TRNMachOLoadCommandGetSegment(const uint8_t* command, uint32_t size);
TRNVersionTriple TRNVersionTripleFromWord(uint32_t word);

std::optional<TRNMachOSection> TRNMachOSliceGetSection(const TRNMachOSlice& slice,
                                                       const char* segment, const char* section);
// The section's bytes inside the slice; none when they do not lie wholly inside it.
const uint8_t* TRNMachOSliceSectionData(const TRNMachOSlice& slice, const char* segment,
                                        const char* section);
// For a loaded image with this header: its DWARF call-frame section (on ELF found through
// PT_GNU_EH_FRAME) into `ehFrame`. There is no compact unwind information on this platform, so
// `unwindInfo` is never written. Outputs may be null; an absent section leaves its output alone.
void TRNMachOSliceGetUnwindSections(const TRNMachOSlice& slice, const uint8_t** ehFrame,
                                    const uint8_t** unwindInfo);

std::string TRNMachOUUIDString(const uint8_t uuid[16]);
std::optional<std::string> TRNVersionTripleString(const TRNVersionTriple* triple);

}  // namespace wv
