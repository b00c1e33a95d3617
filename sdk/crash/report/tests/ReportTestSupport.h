#pragma once

// The images of this very process as a crashed run would have recorded them, optionally
// moved by a distance, so that a test can name its own functions through a report.

#include <link.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sdk/crash/images/QXBinaryImage.h"

namespace wv::test {

inline std::vector<QXBinaryImageDetails> loadedImages() {
    std::vector<QXBinaryImageDetails> images;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* out = static_cast<std::vector<QXBinaryImageDetails>*>(data);
            const LoadedImage image = QXBinaryImageLoadedImageOf(info, out->empty());
            QXBinaryImageDetails details;
            // Keep the executable first even when it were to fail, so the rule above holds.
            if (QXBinaryImageFillInImageDetails(image, &details) || out->empty())
                out->push_back(details);
            return 0;
        },
        &images);
    return images;
}

inline QXBinaryImageDetails imageHolding(uint64_t address) {
    for (const auto& image : loadedImages())
        if (address >= image.node.baseAddress && address - image.node.baseAddress < image.node.size)
            return image;
    return {};
}

// A "load" line for the image as if it had been loaded `shift` bytes higher.
inline nlohmann::json loadLine(const QXBinaryImageDetails& image, uint64_t shift = 0) {
    return {{"load",
             {{"path", image.path},
              {"uuid", image.uuid},
              {"base", image.node.baseAddress + shift},
              {"size", image.node.size}}}};
}

inline void writeLines(const std::filesystem::path& path,
                       const std::vector<nlohmann::json>& lines) {
    std::ofstream out(path, std::ios::binary);
    for (const auto& line : lines) out << line.dump() << "\n";
}

}  // namespace wv::test
