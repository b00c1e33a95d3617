#pragma once

// Names the raw addresses of a crashed run in the process that reads its report: each
// address lies in an image of the run's "binary_images.qxrecord"; the same image (matched by
// its UUID, the build-id) loaded here is at its own address, so the address is moved by the
// difference of the two load addresses and looked up here. The image file's `.symtab` is
// preferred, as the dynamic loader sees only exported symbols; the loader names what the
// file cannot.
//
// Ordinary code on the reports controller's thread; one resolver serves one report.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "sdk/crash/capture/QXStackFrame.h"
#include "sdk/crash/images/QXBinaryImage.h"
#include "sdk/crash/report/QXElfSymbolTable.h"

namespace wv {

class QXSymbolResolver {
  public:
    // A thread's innermost frame is the address it was executing; every other frame is a
    // return address, which lies after its call and may be the first byte of the next
    // function when the call was the last instruction of a function that never returns.
    enum class FrameKind { ReturnAddress, InstructionPointer };

    // Every "load" line whose "base" and "size" are both unsigned numbers, sorted by base;
    // "unload" lines and loads without a usable base or size are left out. False (with the
    // system log line "[Quellix:Crash:SymbolResolver] failed to read binary image file
    // <path>") when the file yields no line, and for an empty path.
    bool loadBinaryImagesFromFile(const std::filesystem::path& path);
    const std::vector<nlohmann::json>& binaryImages() const { return binaryImages_; }

    // The first recorded image with base <= address < base + size.
    std::optional<nlohmann::json> loadedBinaryImageForPC(uint64_t address) const;
    // The image of that UUID as loaded in this process; false without a details pointer or
    // a UUID, or when no loaded image has it.
    bool fillInImageDetails(QXBinaryImageDetails* details, const std::optional<std::string>& uuid);

    // Fills in symbol (and raw symbol), offset and library. False, with the frame left as it
    // was, for address 0, an address in no recorded image, an image not loaded here, or an
    // address neither the image file nor the loader can place.
    bool updateStackFrame(QXStackFrame& frame, FrameKind kind = FrameKind::ReturnAddress);
    std::optional<QXStackFrame> frameForAddress(uint64_t address,
                                                FrameKind kind = FrameKind::ReturnAddress);

  private:
    struct Found {
        std::optional<std::string> name;
        uint64_t address;  // the symbol's start in this process
    };
    std::optional<Found> symbolAt(uint64_t local, const QXBinaryImageDetails& details);
    std::shared_ptr<const QXElfSymbolTable> tableFor(const QXBinaryImageDetails& details);

    std::vector<nlohmann::json> binaryImages_;
    // Per UUID and per file, so a report of thousands of frames walks the loader's list and
    // reads each image file once.
    std::map<std::string, std::optional<QXBinaryImageDetails>> loaded_;
    std::map<std::string, std::shared_ptr<const QXElfSymbolTable>> tables_;
};

}  // namespace wv
