#include "sdk/crash/unwind/QXEhFrameHeader.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"
#include "sdk/crash/unwind/QXUnwindReader.h"

namespace wv {
namespace {

constexpr uint8_t kTableEncoding = 0x3b;  // data-relative, signed 32-bit
// Far more FDEs than any image holds; beyond it the count is corrupt.
constexpr uint64_t kMaximumEntries = uint64_t(1) << 26;

struct Entry {
    int32_t location;
    int32_t fde;
};

}  // namespace

bool QXEhFrameHeaderFindFDE(uint64_t header, uint64_t ehFrame, uint64_t pc, uint64_t* fde) {
    if (header < kQXInvalidAddressLimit || ehFrame < kQXInvalidAddressLimit || fde == nullptr) {
        QXLogWarn("Error: invalid inputs\n");
        return false;
    }
    // Version and three encodings, then two values of at most 8 bytes each.
    constexpr uint64_t kHeaderLimit = 4 + 8 + 8;
    if (!QXUnwindRangeIsReadable(header, kHeaderLimit)) {
        QXLogWarn("Error: unable to read .eh_frame_hdr at %p\n", reinterpret_cast<void*>(header));
        return false;
    }
    QXUnwindReader reader = QXUnwindReader::over(header, header + kHeaderLimit);
    uint8_t version = reader.u8();
    uint8_t framePointerEncoding = reader.u8();
    uint8_t countEncoding = reader.u8();
    uint8_t tableEncoding = reader.u8();
    if (version != 1 || tableEncoding != kTableEncoding) {
        QXLogWarn("Error: unsupported .eh_frame_hdr (version %u, table encoding 0x%x)\n",
                  unsigned(version), unsigned(tableEncoding));
        return false;
    }
    reader.encodedPointer(framePointerEncoding, header);
    uint64_t count = reader.encodedPointer(countEncoding, header);
    if (reader.failed || count == 0 || count > kMaximumEntries) {
        QXLogWarn("Error: invalid .eh_frame_hdr entry count\n");
        return false;
    }
    uint64_t tableStart = reader.position();
    // Entries are checked readable as the search touches them: a few pages of a long table
    // rather than all of them.
    bool readable = true;
    auto entryAt = [&](uint64_t i) {
        Entry e{0, 0};
        uint64_t at = tableStart + i * sizeof(Entry);
        if (!QXUnwindRangeIsReadable(at, sizeof(Entry))) {
            readable = false;
            return e;
        }
        memcpy(&e, reinterpret_cast<const void*>(at), sizeof(e));
        return e;
    };
    auto location = [&](const Entry& e) { return header + static_cast<int64_t>(e.location); };
    if (tableStart + count * sizeof(Entry) < tableStart) return false;
    if (pc < location(entryAt(0)) || !readable) {
        QXLogWarn("Error: PC %p lies before every FDE\n", reinterpret_cast<void*>(pc));
        return false;
    }
    uint64_t low = 0, high = count;  // entry[low] <= pc < entry[high] (high = end)
    while (readable && high - low > 1) {
        uint64_t middle = low + (high - low) / 2;
        if (location(entryAt(middle)) <= pc) {
            low = middle;
        } else {
            high = middle;
        }
    }
    uint64_t found = header + static_cast<int64_t>(entryAt(low).fde);
    if (!readable) {
        QXLogWarn("Error: .eh_frame_hdr table of %llu entries is not readable\n",
                  static_cast<unsigned long long>(count));
        return false;
    }
    if (found < ehFrame) {
        QXLogWarn("Error: FDE %p lies before .eh_frame\n", reinterpret_cast<void*>(found));
        return false;
    }
    *fde = found;
    return true;
}

}  // namespace wv
