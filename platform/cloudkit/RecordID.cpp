#include "platform/cloudkit/RecordID.h"

#include <sys/random.h>

#include <array>
#include <cstdint>
#include <functional>
#include <random>

namespace wv::ck {

namespace {

// Names must not repeat across processes and machines, so they come from the kernel's
// entropy, never from the program's (scriptable) random source.
std::array<uint8_t, 16> randomBytes() {
    std::array<uint8_t, 16> bytes{};
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = getrandom(bytes.data() + done, bytes.size() - done, 0);
        if (n <= 0) {
            std::random_device device;
            for (auto& b : bytes) b = static_cast<uint8_t>(device());
            break;
        }
        done += static_cast<size_t>(n);
    }
    return bytes;
}

}  // namespace

RecordID RecordID::random() {
    auto bytes = randomBytes();
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    name.reserve(36);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) name.push_back('-');
        name.push_back(kHex[bytes[i] >> 4]);
        name.push_back(kHex[bytes[i] & 0x0F]);
    }
    return RecordID(std::move(name));
}

size_t RecordIDHash::operator()(const RecordID& id) const {
    const size_t a = std::hash<std::string>()(id.recordName());
    const size_t b = std::hash<std::string>()(id.zoneName());
    return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
}

}  // namespace wv::ck
