#include "sdk/crash/context/QXUtility.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "sdk/crash/context/QXAllocator.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSHA1.h"

namespace wv {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
int gPipe[2] = {-1, -1};

bool validRange(uintptr_t source, uint64_t length) {
    return source >= kQXInvalidAddressLimit && source + length >= source;
}

}  // namespace

void QXUtilityInitialize() {
    if (__atomic_load_n(&gPipe[1], __ATOMIC_SEQ_CST) >= 0) return;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    int expected = -1;
    if (!__atomic_compare_exchange_n(&gPipe[1], &expected, fds[1], false, __ATOMIC_SEQ_CST,
                                     __ATOMIC_SEQ_CST)) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    __atomic_store_n(&gPipe[0], fds[0], __ATOMIC_SEQ_CST);
}

bool QXUtilityReadMemoryThroughPipe(uintptr_t source, void* destination, uint64_t length) {
    if (!validRange(source, length)) return false;
    int readEnd = __atomic_load_n(&gPipe[0], __ATOMIC_SEQ_CST);
    int writeEnd = __atomic_load_n(&gPipe[1], __ATOMIC_SEQ_CST);
    if (readEnd < 0 || writeEnd < 0) return false;
    // The kernel copies from our memory into the pipe and answers EFAULT for a bad page.
    // Runs of at most a page stay far below the pipe's capacity, so neither end ever blocks.
    auto* out = static_cast<char*>(destination);
    uint64_t done = 0;
    while (done < length) {
        uint64_t run = length - done < 4096 ? length - done : 4096;
        ssize_t written = write(writeEnd, reinterpret_cast<const void*>(source + done), run);
        if (written <= 0) return false;
        ssize_t got = read(readEnd, out + done, static_cast<size_t>(written));
        if (got != written) return false;
        done += static_cast<uint64_t>(written);
    }
    return true;
}

bool QXUtilityReadMemory(uintptr_t source, void* destination, uint64_t length) {
    if (!validRange(source, length) || destination == nullptr) return false;
    if (length == 0) return true;
    iovec local{destination, length};
    iovec remote{reinterpret_cast<void*>(source), length};
    errno = 0;
    ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(length)) return true;
    if (n >= 0 || errno == EFAULT) return false;
    // Refused (a sandbox, or no permission to trace ourselves): the pipe still works.
    return QXUtilityReadMemoryThroughPipe(source, destination, length);
}

bool QXUtilityReadString(uintptr_t address, const char** out, uint64_t maxLength) {
    if (maxLength == 0) {
        if (out) *out = reinterpret_cast<const char*>(address);
        return true;
    }
    if (address < kQXInvalidAddressLimit) return false;
    for (uint64_t i = 0; i < maxLength; ++i) {
        char c;
        if (!QXUtilityReadMemory(address + i, &c, 1)) return false;
        if (c == '\0') {
            if (out) *out = reinterpret_cast<const char*>(address);
            return true;
        }
    }
    return false;
}

char* QXUtilityDuplicateString(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = strlen(text);
    auto* copy = static_cast<char*>(
        QXAllocatorSafeAllocate(qxAllocator, length + 1, QXAllocationRegionProtected));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text, length + 1);
    return copy;
}

bool QXUtilityUnlinkIfExists(const char* path) {
    if (path == nullptr) return false;
    return unlink(path) == 0 || errno == ENOENT;
}

void QXLookupSymbolInfo(uintptr_t address,
                        const std::function<void(const char* symbol, const char* image)>& block) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(address), &info) == 0) {
        block(nullptr, nullptr);
        return;
    }
    block(info.dli_sname ? info.dli_sname : "unknown", info.dli_fname ? info.dli_fname : "unknown");
}

void QXUtilityHexEncodeByte(uint8_t byte, char buffer[3]) {
    buffer[0] = kHexDigits[byte >> 4];
    buffer[1] = kHexDigits[byte & 0xf];
    buffer[2] = '\0';
}

void QXUtilityHexEncodeBytes(const uint8_t* bytes, uint64_t length, char* buffer) {
    memset(buffer, 0, 2 * length + 1);
    for (uint64_t i = 0; i < length; ++i) {
        buffer[2 * i] = kHexDigits[bytes[i] >> 4];
        buffer[2 * i + 1] = kHexDigits[bytes[i] & 0xf];
    }
}

uint8_t QXUtilityHexDigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    return 255;
}

std::string QXUtilityHexStringFromData(const std::vector<uint8_t>& data) {
    std::string hex(2 * data.size() + 1, '\0');
    QXUtilityHexEncodeBytes(data.data(), data.size(), hex.data());
    hex.pop_back();
    return hex;
}

void QXUtilitySHA1HexString(const void* bytes, uint64_t length, char out[41]) {
    uint8_t digest[20];
    QXSHA1Digest(bytes, length, digest);
    QXUtilityHexEncodeBytes(digest, sizeof(digest), out);
}

std::string QXUtilitySHA1HexStringFromData(const std::vector<uint8_t>& data) {
    char hex[41];
    QXUtilitySHA1HexString(data.data(), data.size(), hex);
    return hex;
}

std::string QXUtilityGenerateUUID() {
    uint8_t b[16] = {};
    size_t got = 0;
    while (got < sizeof(b)) {
        ssize_t n = getrandom(b + got, sizeof(b) - got, 0);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (errno != EINTR)
            break;
    }
    b[6] = static_cast<uint8_t>((b[6] & 0x0f) | 0x40);  // version 4: random
    b[8] = static_cast<uint8_t>((b[8] & 0x3f) | 0x80);  // the standard's variant
    static constexpr char kUpper[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(kUpper[b[i] >> 4]);
        text.push_back(kUpper[b[i] & 0xf]);
    }
    return text;
}

std::string QXUtilityNormalizeUUID(std::string_view uuid) {
    std::string text;
    for (char c : uuid) {
        if (c == '-') continue;
        text.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return text;
}

std::string QXUtilityGenerateNormalizedUUID() {
    return QXUtilityNormalizeUUID(QXUtilityGenerateUUID());
}

void QXUtilityDispatchAfter(SerialQueue& queue, std::function<void()> block, double seconds) {
    queue.asyncAfter(seconds, std::move(block));
}

void QXUtilityDispatchAfter(GlobalQueue& queue, std::function<void()> block, double seconds) {
    queue.asyncAfter(seconds, std::move(block));
}

void QXUtilityAddOperationAfterDelay(OperationQueue& queue, std::function<void()> block,
                                     double seconds) {
    GlobalQueue::shared().asyncAfter(
        seconds, [&queue, block = std::move(block)] { queue.addOperation(block); });
}

}  // namespace wv
