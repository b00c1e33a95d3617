#include "sdk/core/TRNElf.h"

#include <cstring>

namespace wv {

namespace {

constexpr uint32_t kPTNote = 4;
constexpr uint32_t kNoteGNUABITag = 1;
constexpr uint32_t kNoteGNUBuildID = 3;

class Reader {
  public:
    Reader(const uint8_t* base, uint64_t size, bool bigEndian)
        : base_(base), size_(size), big_(bigEndian) {}

    bool has(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    uint64_t u(uint64_t offset, int bytes) const {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const uint64_t b = base_[offset + (big_ ? i : bytes - 1 - i)];
            v = v << 8 | b;
        }
        return v;
    }
    const uint8_t* at(uint64_t offset) const { return base_ + offset; }

  private:
    const uint8_t* base_;
    uint64_t size_;
    bool big_;
};

uint64_t alignUp(uint64_t value, uint64_t align) { return (value + align - 1) / align * align; }

void readNotes(const Reader& r, uint64_t offset, uint64_t length, uint64_t align,
               TRNElfIdentity* identity) {
    const uint64_t end = offset + length;
    while (offset + 12 <= end) {
        const uint64_t nameSize = r.u(offset, 4);
        const uint64_t descSize = r.u(offset + 4, 4);
        const uint64_t type = r.u(offset + 8, 4);
        const uint64_t nameAt = offset + 12;
        const uint64_t descAt = alignUp(nameAt + nameSize, align);
        const uint64_t next = alignUp(descAt + descSize, align);
        if (descAt > end || descSize > end - descAt || next <= offset) return;
        const bool isGNU = nameSize == 4 && std::memcmp(r.at(nameAt), "GNU", 4) == 0;
        if (isGNU && type == kNoteGNUBuildID && descSize > 0 && identity->buildID.empty()) {
            identity->buildID.assign(r.at(descAt), r.at(descAt) + descSize);
        } else if (isGNU && type == kNoteGNUABITag && descSize >= 16 && !identity->abiTag) {
            identity->abiTag =
                TRNVersionTriple{uint32_t(r.u(descAt + 4, 4)), uint32_t(r.u(descAt + 8, 4)),
                                 uint32_t(r.u(descAt + 12, 4))};
        }
        offset = next;
    }
}

}  // namespace

bool TRNElfIsImage(const uint8_t* base, uint64_t size) {
    return base && size >= 16 &&
           std::memcmp(base,
                       "\x7f"
                       "ELF",
                       4) == 0;
}

bool TRNElfReadIdentity(const uint8_t* base, uint64_t size, TRNElfIdentity* identity) {
    if (!identity || !TRNElfIsImage(base, size)) return false;
    *identity = TRNElfIdentity{};
    const uint8_t elfClass = base[4];
    const uint8_t data = base[5];
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2)) return false;
    const bool is64 = elfClass == 2;
    const Reader r(base, size, data == 2);
    const uint64_t headerSize = is64 ? 64 : 52;
    if (!r.has(0, headerSize)) return false;
    identity->machine = uint16_t(r.u(18, 2));
    const uint64_t phoff = is64 ? r.u(32, 8) : r.u(28, 4);
    const uint64_t phentsize = r.u(is64 ? 54 : 42, 2);
    const uint64_t phnum = r.u(is64 ? 56 : 44, 2);
    const uint64_t minimumEntry = is64 ? 56 : 32;
    if (phnum == 0) return true;
    if (phentsize < minimumEntry || !r.has(phoff, phentsize * phnum)) return false;
    for (uint64_t i = 0; i < phnum; ++i) {
        const uint64_t ph = phoff + i * phentsize;
        if (r.u(ph, 4) != kPTNote) continue;
        const uint64_t offset = is64 ? r.u(ph + 8, 8) : r.u(ph + 4, 4);
        const uint64_t length = is64 ? r.u(ph + 32, 8) : r.u(ph + 16, 4);
        const uint64_t align = (is64 ? r.u(ph + 48, 8) : r.u(ph + 28, 4)) == 8 ? 8 : 4;
        if (!r.has(offset, length)) continue;
        readNotes(r, offset, length, align, identity);
    }
    return true;
}

std::string TRNElfArchitectureName(uint16_t machine) {
    switch (machine) {
        case 3:
            return "i386";
        case 40:
            return "arm";
        case 62:
            return "x86_64";
        case 183:
            return "arm64";
        case 243:
            return "riscv";
        case 8:
            return "mips";
        case 20:
            return "ppc";
        case 21:
            return "ppc64";
        case 22:
            return "s390";
        default:
            return "unknown";
    }
}

}  // namespace wv
