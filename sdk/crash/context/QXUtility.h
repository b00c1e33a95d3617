#pragma once

// Utilities the crash-time code and the report code share.
//
// Crash-time contract for QXUtilityReadMemory, QXUtilityReadString, the hex encoders,
// QXUtilityHexDigitValue and QXUtilitySHA1HexString: async-signal-safe, no heap, no lock, no
// stdio; an address below 4096 is never read. Memory that may be bad is read only through the
// kernel (process_vm_readv on our own pid, or a write into a pipe made at start-up), so an
// unreadable page gives false instead of a fault.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

class OperationQueue;
class SerialQueue;
class GlobalQueue;

// Makes the pipe of the fallback read; called by the context's base initialisation, and
// harmless to call again.
void QXUtilityInitialize();
bool QXUtilityReadMemory(uintptr_t source, void* destination, uint64_t length);
// The fallback path alone (used when process_vm_readv is refused).
bool QXUtilityReadMemoryThroughPipe(uintptr_t source, void* destination, uint64_t length);
// True when a NUL is met within `maxLength` readable bytes (0 succeeds at once); then
// *out = address.
bool QXUtilityReadString(uintptr_t address, const char** out, uint64_t maxLength);
// A copy in the allocator's protected region; none for none.
char* QXUtilityDuplicateString(const char* text);
bool QXUtilityUnlinkIfExists(const char* path);
// The symbol and image path of the address ("unknown" for a missing part); both none when
// the address belongs to no image.
void QXLookupSymbolInfo(uintptr_t address,
                        const std::function<void(const char* symbol, const char* image)>& block);

void QXUtilityHexEncodeByte(uint8_t byte, char buffer[3]);
// `buffer` holds 2 * length + 1 bytes; it is zeroed first.
void QXUtilityHexEncodeBytes(const uint8_t* bytes, uint64_t length, char* buffer);
uint8_t QXUtilityHexDigitValue(char c);  // 255 for a non-hex character
std::string QXUtilityHexStringFromData(const std::vector<uint8_t>& data);

// 40 lower-case characters and a NUL into `out`.
void QXUtilitySHA1HexString(const void* bytes, uint64_t length, char out[41]);
std::string QXUtilitySHA1HexStringFromData(const std::vector<uint8_t>& data);

std::string QXUtilityGenerateUUID();  // "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX", upper-case
std::string QXUtilityNormalizeUUID(std::string_view uuid);
std::string QXUtilityGenerateNormalizedUUID();

void QXUtilityDispatchAfter(SerialQueue& queue, std::function<void()> block, double seconds);
void QXUtilityDispatchAfter(GlobalQueue& queue, std::function<void()> block, double seconds);
// After the delay, from the global queue, adds the block to the operation queue, which must
// outlive the delay.
void QXUtilityAddOperationAfterDelay(OperationQueue& queue, std::function<void()> block,
                                     double seconds);

}  // namespace wv
