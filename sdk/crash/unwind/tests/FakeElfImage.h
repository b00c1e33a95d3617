#pragma once

// A made-up ELF image in its own mapping, for tests of the unwinder: the ELF magic at its
// base, code offsets 0x100-0xfff, `.eh_frame` at 0x1000 (one CIE, one FDE per function) and
// `.eh_frame_hdr` at 0x3000, followed by an unmapped page so a read past the tables faults.

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "sdk/crash/context/QXBinaryImageNode.h"

namespace wv::test {

struct FakeFunction {
    uint32_t start;
    uint32_t length;
    std::vector<uint8_t> instructions;
};

// CFA = rsp + 8, return address at CFA - 8: what every x86-64 CIE says.
inline const std::vector<uint8_t> kDefaultCIEInstructions = {0x0c, 0x07, 0x08, 0x90, 0x01};

class FakeElfImage {
  public:
    static constexpr uint64_t kSize = 0x5000;
    static constexpr uint64_t kEhFrame = 0x1000;
    static constexpr uint64_t kHeader = 0x3000;

    explicit FakeElfImage(const std::vector<FakeFunction>& functions,
                          const std::vector<uint8_t>& cieInstructions = kDefaultCIEInstructions) {
        void* map =
            mmap(nullptr, kSize + 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        bytes_ = static_cast<uint8_t*>(map);
        munmap(bytes_ + kSize, 4096);
        memcpy(bytes_,
               "\x7f"
               "ELF",
               4);
        std::vector<uint8_t> frame;
        auto u32 = [](std::vector<uint8_t>& out, uint32_t v) {
            for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
        };
        // CIE: id 0, version 1, "zR", code 1, data -8, return column 16, pointers pc-relative
        // signed 32-bit.
        std::vector<uint8_t> cie = {0, 0, 0, 0, 1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x1b};
        cie.insert(cie.end(), cieInstructions.begin(), cieInstructions.end());
        u32(frame, uint32_t(cie.size()));
        frame.insert(frame.end(), cie.begin(), cie.end());
        for (const FakeFunction& f : functions) {
            uint64_t fdeOffset = frame.size();
            std::vector<uint8_t> fde;
            u32(fde, uint32_t(fdeOffset + 4));  // back to the CIE at 0
            uint64_t pcField = kEhFrame + fdeOffset + 8;
            u32(fde, uint32_t(int32_t(int64_t(f.start) - int64_t(pcField))));
            u32(fde, f.length);
            fde.push_back(0);  // no augmentation data
            fde.insert(fde.end(), f.instructions.begin(), f.instructions.end());
            u32(frame, uint32_t(fde.size()));
            frame.insert(frame.end(), fde.begin(), fde.end());
            entries_.push_back({f.start, uint32_t(kEhFrame + fdeOffset)});
        }
        u32(frame, 0);
        memcpy(bytes_ + kEhFrame, frame.data(), frame.size());

        std::vector<uint8_t> header = {1, 0x1b, 0x03, 0x3b};
        u32(header, uint32_t(int32_t(int64_t(kEhFrame) - int64_t(kHeader + 4))));
        u32(header, uint32_t(entries_.size()));
        for (auto [start, fde] : entries_) {
            u32(header, uint32_t(int32_t(int64_t(start) - int64_t(kHeader))));
            u32(header, uint32_t(int32_t(int64_t(fde) - int64_t(kHeader))));
        }
        memcpy(bytes_ + kHeader, header.data(), header.size());
    }
    ~FakeElfImage() { munmap(bytes_, kSize); }
    FakeElfImage(const FakeElfImage&) = delete;
    FakeElfImage& operator=(const FakeElfImage&) = delete;

    uint64_t base() const { return reinterpret_cast<uint64_t>(bytes_); }
    uint64_t at(uint64_t offset) const { return base() + offset; }
    uint8_t* bytes() { return bytes_; }
    // Size covers the code only, as for a real image's executable segment.
    QXBinaryImageNode node() const { return {base(), kEhFrame, at(kEhFrame), at(kHeader), 0}; }
    // Where the FDE of the i-th function starts.
    uint64_t fde(size_t i) const { return at(entries_[i].second); }

  private:
    uint8_t* bytes_;
    std::vector<std::pair<uint32_t, uint32_t>> entries_;
};

}  // namespace wv::test
