#include "sdk/crash/unwind/QXUnwindStrategy.h"

#include <cstring>

#include "sdk/crash/context/QXUtility.h"
#include "sdk/crash/unwind/QXElfUnwindStrategy.h"
#include "sdk/crash/unwind/QXMachOUnwindStrategy.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"

namespace wv {
namespace {

constexpr uint8_t kElfMagic[4] = {0x7f, 'E', 'L', 'F'};
constexpr uint32_t kMachOMagic64 = 0xfeedfacf;

const QXElfUnwindStrategy kElf;
const QXMachOUnwindStrategy kMachO;

}  // namespace

const QXUnwindStrategy* QXUnwindStrategy::forImage(const QXBinaryImageNode& image) {
    // Read in place once its page is known readable: the stack window stays for the stack.
    uint8_t magic[4];
    if (!QXUnwindRangeIsReadable(image.baseAddress, sizeof(magic))) return nullptr;
    memcpy(magic, reinterpret_cast<const void*>(image.baseAddress), sizeof(magic));
    if (memcmp(magic, kElfMagic, sizeof(magic)) == 0) return &kElf;
    uint32_t word;
    memcpy(&word, magic, sizeof(word));
    if (word == kMachOMagic64) return &kMachO;
    return nullptr;
}

}  // namespace wv
