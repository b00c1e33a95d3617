#pragma once

// The images of this very process as a crashed run would have recorded them, optionally
// moved by a distance, so that a test can name its own functions through a report.

#include <link.h>
#include <unistd.h>

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
            LoadedImage image{};
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
                image.path = info->dlpi_name;
            } else if (out->empty()) {
                char buffer[4096];
                const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
                if (n > 0) image.path.assign(buffer, size_t(n));
            }
            image.slide = info->dlpi_addr;
            image.phdr = info->dlpi_phdr;
            image.phnum = info->dlpi_phnum;
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
