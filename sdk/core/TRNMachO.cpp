#include "sdk/core/TRNMachO.h"

#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "sdk/core/TRNHashing.h"

namespace wv {

namespace {

uint32_t loadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint64_t loadU64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t loadBigU32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool namesMatch(const uint8_t* field, const char* name) {
    return std::strncmp(reinterpret_cast<const char*>(field), name, 16) == 0;
}

// Header sizes of mach_header and mach_header_64; segment commands and their sections.
constexpr uint64_t kHeader32Size = 28;
constexpr uint64_t kHeader64Size = 32;
constexpr uint32_t kSegment64Size = 72;
constexpr uint32_t kSection64Size = 80;
constexpr uint32_t kSegment32Size = 56;
constexpr uint32_t kSection32Size = 68;
constexpr uint32_t kFatHeaderSize = 8;
constexpr uint32_t kFatArchSize = 20;

struct ArchName {
    int32_t type;
    int32_t subtype;
    const char* name;
};

// CPU types and subtypes as the Mach-O format numbers them (subtype capability bits masked).
constexpr ArchName kArchitectures[] = {
    {7, 3, "i386"},
    {7, 4, "i486"},
    {7, 0x84, "i486SX"},
    {7, 5, "pentium"},
    {7, 0x16, "pentpro"},
    {7, 0x36, "pentIIm3"},
    {7, 0x56, "pentIIm5"},
    {7, 0x67, "pentium4"},
    {0x01000007, 3, "x86_64"},
    {0x01000007, 8, "x86_64h"},
    {12, 0, "arm"},
    {12, 5, "armv4t"},
    {12, 6, "armv6"},
    {12, 7, "armv5"},
    {12, 8, "xscale"},
    {12, 9, "armv7"},
    {12, 10, "armv7f"},
    {12, 11, "armv7s"},
    {12, 12, "armv7k"},
    {12, 13, "armv8"},
    {12, 14, "armv6m"},
    {12, 15, "armv7m"},
    {12, 16, "armv7em"},
    {0x0100000c, 0, "arm64"},
    {0x0100000c, 1, "arm64v8"},
    {0x0100000c, 2, "arm64e"},
    {0x0200000c, 1, "arm64_32"},
    {18, 0, "ppc"},
    {18, 100, "ppc970"},
    {0x01000012, 0, "ppc64"},
    {0x01000012, 100, "ppc970-64"},
};
constexpr int32_t kSubtypeMask = 0x00ffffff;

struct CommandArea {
    uint64_t begin = 0;  // first command, relative to the header
    uint64_t end = 0;    // end of the commands that may be read
    uint32_t count = 0;
};

// The command area of a native-order thin header that lies inside the slice.
bool commandArea(TRNMachOSlice* slice, CommandArea* area) {
    if (!slice || !slice->header || slice->size < kHeader32Size) return false;
    const uint32_t magic = loadU32(slice->header);
    uint64_t headerSize;
    if (magic == kTRNMachOMagic64) {
        headerSize = kHeader64Size;
    } else if (magic == kTRNMachOMagic32) {
        headerSize = kHeader32Size;
    } else {
        // Byte-swapped headers would need every field converted; no image of this process or
        // of the files read here is stored that way, so they are skipped.
        return false;
    }
    if (slice->size < headerSize) return false;
    slice->cpuType = int32_t(loadU32(slice->header + 4));
    slice->cpuSubtype = int32_t(loadU32(slice->header + 8));
    area->count = loadU32(slice->header + 16);
    const uint64_t commandsSize = loadU32(slice->header + 20);
    area->begin = headerSize;
    area->end = headerSize + commandsSize < slice->size ? headerSize + commandsSize : slice->size;
    return true;
}

#if defined(__x86_64__)
constexpr int32_t kLocalCPUType = 0x01000007;
constexpr int32_t kLocalCPUSubtype = 3;
#elif defined(__aarch64__)
constexpr int32_t kLocalCPUType = 0x0100000c;
constexpr int32_t kLocalCPUSubtype = 0;
#else
constexpr int32_t kLocalCPUType = 0;
constexpr int32_t kLocalCPUSubtype = 0;
#endif

// A loaded image: where its ELF header is and what dl_iterate_phdr says of it.
struct LoadedImage {
    const uint8_t* wanted = nullptr;  // a header to find, or null for the main program
    const uint8_t* header = nullptr;
    const ElfW(Phdr) * phdr = nullptr;
    ElfW(Half) phnum = 0;
    ElfW(Addr) base = 0;
    const char* name = nullptr;
    bool isMain = false;
};

const uint8_t* elfHeaderOf(const struct dl_phdr_info* info) {
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && ph.p_offset == 0) {
            return reinterpret_cast<const uint8_t*>(info->dlpi_addr + ph.p_vaddr);
        }
    }
    return nullptr;
}

// The loaded image whose ELF header is `header`, or the main program (which dl_iterate_phdr
// reports first) for a null header.
bool findLoadedImage(const uint8_t* header, LoadedImage* image) {
    image->wanted = header;
    image->header = nullptr;
    image->isMain = true;
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* data) {
            auto* image = static_cast<LoadedImage*>(data);
            const uint8_t* found = elfHeaderOf(info);
            if (!image->wanted || (found && found == image->wanted)) {
                image->header = found;
                image->phdr = info->dlpi_phdr;
                image->phnum = info->dlpi_phnum;
                image->base = info->dlpi_addr;
                image->name = info->dlpi_name;
                return 1;
            }
            image->isMain = false;
            return 0;
        },
        image);
    return image->header != nullptr;
}

// Reads one pointer of an .eh_frame_hdr in the encodings linkers write; false for others.
bool readEncodedPointer(const uint8_t* field, uint8_t encoding, const uint8_t* sectionStart,
                        uintptr_t* out) {
    int64_t value;
    switch (encoding & 0x0f) {
        case 0x00:
            value = int64_t(loadU64(field));
            break;  // absptr (64-bit programs)
        case 0x02: {
            uint16_t v;
            std::memcpy(&v, field, 2);
            value = v;
            break;
        }
        case 0x03:
            value = loadU32(field);
            break;
        case 0x04:
            value = int64_t(loadU64(field));
            break;
        case 0x0a: {
            int16_t v;
            std::memcpy(&v, field, 2);
            value = v;
            break;
        }
        case 0x0b:
            value = int32_t(loadU32(field));
            break;
        case 0x0c:
            value = int64_t(loadU64(field));
            break;
        default:
            return false;
    }
    switch (encoding & 0x70) {
        case 0x00:
            break;
        case 0x10:
            value += int64_t(reinterpret_cast<uintptr_t>(field));
            break;
        case 0x30:
            value += int64_t(reinterpret_cast<uintptr_t>(sectionStart));
            break;
        default:
            return false;
    }
    *out = uintptr_t(value);
    return true;
}

}  // namespace

bool TRNMachOMappedFileInit(TRNMachOMappedFile* file, const char* path) {
    if (!file) return false;
    *file = TRNMachOMappedFile{};
    if (!path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 16) {
        ::close(fd);
        return false;
    }
    void* base = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    file->fileDescriptor = fd;
    file->size = st.st_size;
    file->base = static_cast<const uint8_t*>(base);
    return true;
}

bool TRNMachOMappedFileInitWithMainExecutable(TRNMachOMappedFile* file) {
    return TRNMachOMappedFileInit(file, "/proc/self/exe");
}

void TRNMachOMappedFileDestroy(TRNMachOMappedFile* file) {
    if (!file) return;
    if (file->base && file->size > 0) munmap(const_cast<uint8_t*>(file->base), size_t(file->size));
    if (file->fileDescriptor >= 0) ::close(file->fileDescriptor);
    *file = TRNMachOMappedFile{};
}

TRNMachOSlice TRNMachOSliceForMainExecutable() {
    LoadedImage image;
    if (!findLoadedImage(nullptr, &image)) return {};
    return TRNMachOSlice{image.header, kLocalCPUType, kLocalCPUSubtype, 0};
}

TRNMachOSlice TRNMachOSliceWithHeader(const uint8_t* header, uint64_t size) {
    return TRNMachOSlice{header, 0, 0, size};
}

std::optional<std::string> TRNMachOSliceImagePath(const TRNMachOSlice& slice) {
    if (!slice.header) return std::nullopt;
    LoadedImage image;
    if (!findLoadedImage(slice.header, &image)) return std::nullopt;
    if (image.isMain || !image.name || !*image.name) {
        char path[4096];
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0) return std::nullopt;
        return std::string(path, size_t(n));
    }
    return std::string(image.name);
}

bool TRNMachOSliceIs64Bit(const TRNMachOSlice& slice) {
    return (slice.cpuType & kTRNCPUArchABI64) != 0;
}

void TRNMachOEnumerateSlicesInMappedFile(const TRNMachOMappedFile& file,
                                         const TRNMachOSliceBlock& block) {
    if (!file.base || file.size <= 0) return;
    TRNMachOEnumerateSlices(file.base, uint64_t(file.size), block);
}

void TRNMachOEnumerateSlices(const uint8_t* base, uint64_t size, const TRNMachOSliceBlock& block) {
    if (!base || size < 4) return;
    if (loadBigU32(base) == kTRNMachOFatMagic) {
        if (size < kFatHeaderSize) return;
        const uint32_t count = loadBigU32(base + 4);
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t entry = kFatHeaderSize + i * kFatArchSize;
            if (entry + kFatArchSize > size) return;
            const uint8_t* arch = base + entry;
            const uint64_t offset = loadBigU32(arch + 8);
            const uint64_t length = loadBigU32(arch + 12);
            if (length == 0 || offset > size || length > size - offset) continue;
            block(TRNMachOSlice{base + offset, int32_t(loadBigU32(arch)),
                                int32_t(loadBigU32(arch + 4)), length});
        }
        return;
    }
    TRNMachOSlice slice{base, 0, 0, size};
    const uint32_t magic = loadU32(base);
    if (size >= 12 && (magic == kTRNMachOMagic32 || magic == kTRNMachOMagic64)) {
        slice.cpuType = int32_t(loadU32(base + 4));
        slice.cpuSubtype = int32_t(loadU32(base + 8));
    } else if (size >= 12 && (magic == kTRNMachOCigam32 || magic == kTRNMachOCigam64)) {
        slice.cpuType = int32_t(__builtin_bswap32(loadU32(base + 4)));
        slice.cpuSubtype = int32_t(__builtin_bswap32(loadU32(base + 8)));
    }
    block(slice);
}

TRNMachOSlice TRNMachOSliceForArchitectureName(const TRNMachOMappedFile& file, const char* name) {
    TRNMachOSlice found;
    if (!name) return found;
    TRNMachOEnumerateSlicesInMappedFile(file, [&](const TRNMachOSlice& slice) {
        if (TRNMachOSliceArchitectureName(slice) == name) found = slice;
    });
    return found;
}

std::string TRNMachOArchitectureName(int32_t cpuType, int32_t cpuSubtype) {
    if (cpuType == 0x0100000c && cpuSubtype == 0) return "arm64";
    if (cpuType == 12 && cpuSubtype == 11) return "armv7s";
    if (cpuType == 12 && cpuSubtype == 12) return "armv7k";
    const int32_t subtype = cpuSubtype & kSubtypeMask;
    for (const auto& arch : kArchitectures) {
        if (arch.type == cpuType && arch.subtype == subtype) return arch.name;
    }
    return "unknown";
}

std::string TRNMachOSliceArchitectureName(const TRNMachOSlice& slice) {
    return TRNMachOArchitectureName(slice.cpuType, slice.cpuSubtype);
}

void TRNMachOEnumerateLoadCommands(TRNMachOSlice* slice, const TRNMachOLoadCommandBlock& block) {
    CommandArea area;
    if (!commandArea(slice, &area)) return;
    uint64_t offset = area.begin;
    for (uint32_t i = 0; i < area.count; ++i) {
        if (offset + 8 > area.end) return;
        const uint8_t* command = slice->header + offset;
        const uint32_t type = loadU32(command);
        const uint32_t size = loadU32(command + 4);
        if (size < 8 || size > area.end - offset) return;
        block(type, size, command);
        offset += size;
    }
}

bool TRNMachOLoadCommandGetUUID(const uint8_t* command, uint32_t size, uint8_t uuid[16]) {
    if (!command || !uuid || size < 24) return false;
    std::memcpy(uuid, command + 8, 16);
    return true;
}

const char* TRNMachOLoadCommandGetDylibName(const uint8_t* command, uint32_t size) {
    if (!command || size < 12) return nullptr;
    const uint32_t offset = loadU32(command + 8);
    if (offset >= size) return nullptr;
    const void* end = std::memchr(command + offset, 0, size - offset);
    return end ? reinterpret_cast<const char*>(command + offset) : nullptr;
}

bool TRNMachOLoadCommandIsEncrypted(const uint8_t* command, uint32_t size) {
    if (!command || size < 20) return false;
    return loadU32(command + 16) != 0;
}

TRNVersionTriple TRNVersionTripleFromWord(uint32_t word) {
    return TRNVersionTriple{word >> 16, (word >> 8) & 0xff, word & 0xff};
}

TRNVersionTriple TRNMachOLoadCommandGetMinimumOSVersion(const uint8_t* command, uint32_t size) {
    if (!command || size < 16) return {};
    return TRNVersionTripleFromWord(loadU32(command + 8));
}

TRNVersionTriple TRNMachOLoadCommandGetSDKVersion(const uint8_t* command, uint32_t size) {
    if (!command || size < 16) return {};
    return TRNVersionTripleFromWord(loadU32(command + 12));
}

TRNMachOSegment TRNMachOLoadCommandGetSegment(const uint8_t* command, uint32_t size) {
    TRNMachOSegment segment;
    if (!command || size < 8) return segment;
    const uint32_t type = loadU32(command);
    if (type == kTRNLoadCommandSegment64 && size >= kSegment64Size) {
        std::memcpy(segment.name, command + 8, 16);
        segment.vmAddress = loadU64(command + 24);
        segment.vmSize = loadU64(command + 32);
    } else if (type == kTRNLoadCommandSegment && size >= kSegment32Size) {
        std::memcpy(segment.name, command + 8, 16);
        segment.vmAddress = loadU32(command + 24);
        segment.vmSize = loadU32(command + 28);
    }
    return segment;
}

std::optional<TRNMachOSection> TRNMachOSliceGetSection(const TRNMachOSlice& slice,
                                                       const char* segment, const char* section) {
    if (!segment || !section) return std::nullopt;
    TRNMachOSlice walked = slice;
    std::optional<TRNMachOSection> found;
    TRNMachOEnumerateLoadCommands(&walked, [&](uint32_t type, uint32_t size, const uint8_t* cmd) {
        if (found) return;
        const bool is64 = type == kTRNLoadCommandSegment64;
        if (!is64 && type != kTRNLoadCommandSegment) return;
        const uint32_t headerSize = is64 ? kSegment64Size : kSegment32Size;
        const uint32_t sectionSize = is64 ? kSection64Size : kSection32Size;
        if (size < headerSize) return;
        const uint64_t count = loadU32(cmd + headerSize - 8);
        if (count > (size - headerSize) / sectionSize) return;
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t* s = cmd + headerSize + i * sectionSize;
            if (!namesMatch(s, section) || !namesMatch(s + 16, segment)) continue;
            if (is64) {
                found = TRNMachOSection{loadU64(s + 32), loadU64(s + 40), loadU32(s + 48)};
            } else {
                found = TRNMachOSection{loadU32(s + 32), loadU32(s + 36), loadU32(s + 40)};
            }
            return;
        }
    });
    return found;
}

const uint8_t* TRNMachOSliceSectionData(const TRNMachOSlice& slice, const char* segment,
                                        const char* section) {
    auto found = TRNMachOSliceGetSection(slice, segment, section);
    if (!found || found->offset > slice.size || found->size > slice.size - found->offset) {
        return nullptr;
    }
    return slice.header + found->offset;
}

void TRNMachOSliceGetUnwindSections(const TRNMachOSlice& slice, const uint8_t** ehFrame,
                                    const uint8_t** unwindInfo) {
    (void)unwindInfo;
    if (!slice.header || !ehFrame) return;
    LoadedImage image;
    if (!findLoadedImage(slice.header, &image)) return;
    for (ElfW(Half) i = 0; i < image.phnum; ++i) {
        const auto& ph = image.phdr[i];
        if (ph.p_type != PT_GNU_EH_FRAME) continue;
        const auto* hdr = reinterpret_cast<const uint8_t*>(image.base + ph.p_vaddr);
        if (ph.p_memsz < 8 || hdr[0] != 1) return;
        uintptr_t frame = 0;
        if (readEncodedPointer(hdr + 4, hdr[1], hdr, &frame) && frame != 0) {
            *ehFrame = reinterpret_cast<const uint8_t*>(frame);
        }
        return;
    }
}

std::string TRNMachOUUIDString(const uint8_t uuid[16]) { return TRNHexStringFromUUIDBytes(uuid); }

std::optional<std::string> TRNVersionTripleString(const TRNVersionTriple* triple) {
    if (!triple) return std::nullopt;
    char text[40];
    std::snprintf(text, sizeof text, "%d.%d.%d", int(triple->major), int(triple->minor),
                  int(triple->patch));
    return std::string(text);
}

}  // namespace wv
