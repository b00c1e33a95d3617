#include "sdk/crash/unwind/QXUnwindStrategy.h"

#include <cstring>

#include "sdk/crash/context/QXUtility.h"
#include "sdk/crash/unwind/QXElfUnwindStrategy.h"
#include "sdk/crash/unwind/QXMachOUnwindStrategy.h"

namespace wv {
namespace {

constexpr uint8_t kElfMagic[4] = {0x7f, 'E', 'L', 'F'};
constexpr uint32_t kMachOMagic64 = 0xfeedfacf;

const QXElfUnwindStrategy kElf;
const QXMachOUnwindStrategy kMachO;

}  // namespace

const QXUnwindStrategy* QXUnwindStrategy::forImage(const QXBinaryImageNode& image) {
    uint8_t magic[4];
    if (!QXUtilityReadMemory(static_cast<uintptr_t>(image.baseAddress), magic, sizeof(magic))) {
        return nullptr;
    }
    if (memcmp(magic, kElfMagic, sizeof(magic)) == 0) return &kElf;
    uint32_t word;
    memcpy(&word, magic, sizeof(word));
    if (word == kMachOMagic64) return &kMachO;
    return nullptr;
}

}  // namespace wv
