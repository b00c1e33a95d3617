#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "TestSupport.h"
#include "WalkImage.h"

namespace wv {
namespace {

// The bytes end exactly where an inaccessible page begins, so any read past the end faults.
class GuardedBytes {
  public:
    explicit GuardedBytes(const std::vector<uint8_t>& bytes) : size_(bytes.size()) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        length_ = (bytes.size() + page - 1) / page * page + page;
        auto* base = static_cast<uint8_t*>(
            mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base + length_ - page, page, PROT_NONE);
        map_ = base;
        data_ = base + length_ - page - bytes.size();
        if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~GuardedBytes() { munmap(map_, length_); }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    size_t size_;
    size_t length_;
    uint8_t* map_;
    uint8_t* data_;
};

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    if (at + 4 <= b.size()) std::memcpy(&b[at], &v, 4);
}
void putBig32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    const uint32_t big = __builtin_bswap32(v);
    put32(b, at, big);
}
void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    if (at + 2 <= b.size()) std::memcpy(&b[at], &v, 2);
}
void put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    if (at + 8 <= b.size()) std::memcpy(&b[at], &v, 8);
}

struct Mutation {
    const char* name;
    const char* base;  // fixture file, or "elf" for a small program of the system
    std::function<void(std::vector<uint8_t>&)> change;
    int uuidsLeft;  // UUIDs the readers still find; -1: any number
};

uint32_t firstCommandSize(const std::vector<uint8_t>& b) {
    uint32_t v;
    std::memcpy(&v, &b[32 + 4], 4);
    return v;
}

TEST(BadImages, LyingBytesAreRefusedWithoutReadingPastTheEnd) {
    const std::vector<Mutation> mutations = {
        {"untouched thin", "thin_x86_64", [](auto&) {}, 1},
        {"15 bytes", "thin_x86_64", [](auto& b) { b.resize(15); }, 0},
        {"header only", "thin_x86_64", [](auto& b) { b.resize(32); }, 0},
        {"commands cut short", "thin_x86_64", [](auto& b) { b.resize(300); }, 0},
        {"command count huge", "thin_x86_64", [](auto& b) { put32(b, 16, 0xffffffff); }, 1},
        {"commands size huge", "thin_x86_64", [](auto& b) { put32(b, 20, 0xffffffff); }, 1},
        {"first command size zero", "thin_x86_64", [](auto& b) { put32(b, 36, 0); }, 0},
        {"first command size 7", "thin_x86_64", [](auto& b) { put32(b, 36, 7); }, 0},
        {"first command past the end", "thin_x86_64",
         [](auto& b) { put32(b, 36, uint32_t(b.size())); }, 0},
        {"segment with a huge section count", "thin_x86_64",
         [](auto& b) {
             // The second command is __TEXT (the first is __PAGEZERO).
             const size_t text = 32 + firstCommandSize(b);
             put32(b, text + 64, 0x7fffffff);
         },
         1},
        {"section offset past the end", "thin_x86_64",
         [](auto& b) {
             const size_t text = 32 + firstCommandSize(b);
             put32(b, text + 72 + 48, 0xfffffff0);
             put64(b, text + 72 + 40, 0x100);
         },
         1},
        // Entries past the real ones read whatever follows; only those inside the file are walked.
        {"fat count huge", "fat_all", [](auto& b) { putBig32(b, 4, 0xffffffff); }, -1},
        {"fat entry offset past the end", "fat_all",
         [](auto& b) { putBig32(b, 8 + 8, 0xfffff000); }, 1},
        {"fat entry size past the end", "fat_all", [](auto& b) { putBig32(b, 8 + 12, 0xfffff000); },
         1},
        {"fat entry wraps around", "fat_all",
         [](auto& b) {
             putBig32(b, 8 + 8, 0xffffff00);
             putBig32(b, 8 + 12, 0x200);
         },
         1},
        {"fat header alone", "fat_all", [](auto& b) { b.resize(8); }, 0},
        {"untouched elf", "elf", [](auto&) {}, 1},
        {"elf cut after the header", "elf", [](auto& b) { b.resize(64); }, 0},
        {"elf program headers past the end", "elf", [](auto& b) { put64(b, 32, b.size()); }, 0},
        {"elf program header count huge", "elf", [](auto& b) { put16(b, 56, 0xffff); }, -1},
        {"elf program header size zero", "elf", [](auto& b) { put16(b, 54, 0); }, 0},
        {"elf notes lie about their size", "elf",
         [](auto& b) {
             uint64_t phoff;
             std::memcpy(&phoff, &b[32], 8);
             uint16_t count;
             std::memcpy(&count, &b[56], 2);
             for (uint16_t i = 0; i < count; ++i) {
                 const size_t ph = phoff + i * 56u;
                 uint32_t type;
                 std::memcpy(&type, &b[ph], 4);
                 if (type != 4) continue;
                 uint64_t offset;
                 std::memcpy(&offset, &b[ph + 8], 8);
                 // Every note's description size now runs far past the segment.
                 for (size_t at = offset; at + 12 < offset + 64; at += 4) {
                     uint32_t name;
                     std::memcpy(&name, &b[at], 4);
                     if (name == 4) put32(b, at + 4, 0xfffffff0);
                 }
             }
         },
         -1},
    };
    for (const auto& m : mutations) {
        SCOPED_TRACE(m.name);
        std::vector<uint8_t> bytes = testing::readBytes(
            std::string(m.base) == "elf" ? "/usr/bin/true" : testing::fixture(m.base));
        ASSERT_GT(bytes.size(), 4096u);
        m.change(bytes);
        GuardedBytes guarded(bytes);
        const int uuids = testing::walkImage(guarded.data(), guarded.size());
        if (m.uuidsLeft >= 0) {
            EXPECT_EQ(uuids, m.uuidsLeft);
        }
    }
}

// Inputs that once broke a reader stay here and are walked on every run.
TEST(BadImages, KeptRegressionsStillWalkCleanly) {
    const std::filesystem::path dir = WV_REGRESSIONS;
    size_t walked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        SCOPED_TRACE(entry.path().filename().string());
        GuardedBytes guarded(testing::readBytes(entry.path()));
        testing::walkImage(guarded.data(), guarded.size());
        ++walked;
    }
    EXPECT_GT(walked, 0u) << "no regression inputs in " << dir;
}

}  // namespace
}  // namespace wv
