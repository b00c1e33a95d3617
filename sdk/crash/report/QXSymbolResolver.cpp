#include "sdk/crash/report/QXSymbolResolver.h"

#include <dlfcn.h>

#include <algorithm>

#include "platform/foundation/Log.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace wv {
namespace {

bool isAddress(const nlohmann::json& image, const char* key) {
    auto found = image.find(key);
    return found != image.end() && found->is_number_unsigned();
}

uint64_t numberOf(const nlohmann::json& image, const char* key) {
    return image.at(key).get<uint64_t>();
}

}  // namespace

bool QXSymbolResolver::loadBinaryImagesFromFile(const std::filesystem::path& path) {
    if (path.empty()) return false;
    std::optional<std::vector<nlohmann::json>> sections = QXFileReadSections(path, false);
    if (!sections || sections->empty()) {
        Log::system("[Quellix:Crash:SymbolResolver] failed to read binary image file " +
                    path.string());
        return false;
    }
    for (const nlohmann::json& section : *sections) {
        auto load = section.find("load");
        if (load == section.end() || !load->is_object()) continue;
        if (!isAddress(*load, "base") || !isAddress(*load, "size")) continue;
        binaryImages_.push_back(*load);
    }
    std::stable_sort(binaryImages_.begin(), binaryImages_.end(),
                     [](const nlohmann::json& a, const nlohmann::json& b) {
                         return numberOf(a, "base") < numberOf(b, "base");
                     });
    return true;
}

std::optional<nlohmann::json> QXSymbolResolver::loadedBinaryImageForPC(uint64_t address) const {
    for (const nlohmann::json& image : binaryImages_) {
        const uint64_t base = numberOf(image, "base");
        // As a difference, so an image near the top of the address space cannot wrap.
        if (address >= base && address - base < numberOf(image, "size")) return image;
    }
    return std::nullopt;
}

bool QXSymbolResolver::fillInImageDetails(QXBinaryImageDetails* details,
                                          const std::optional<std::string>& uuid) {
    if (details == nullptr || !uuid || uuid->empty()) return false;
    auto cached = loaded_.find(*uuid);
    if (cached == loaded_.end()) {
        std::optional<QXBinaryImageDetails> found;
        QXBinaryImageDetails candidate;
        if (QXBinaryImageFindImageForUUID(uuid->c_str(), &candidate)) found = candidate;
        cached = loaded_.emplace(*uuid, std::move(found)).first;
    }
    if (!cached->second) return false;
    *details = *cached->second;
    return true;
}

std::shared_ptr<const QXElfSymbolTable> QXSymbolResolver::tableFor(
    const QXBinaryImageDetails& details) {
    auto cached = tables_.find(details.path);
    if (cached == tables_.end())
        cached =
            tables_.emplace(details.path, QXElfSymbolTable::load(details.path, details.uuid)).first;
    return cached->second;
}

std::optional<QXSymbolResolver::Found> QXSymbolResolver::symbolAt(
    uint64_t local, const QXBinaryImageDetails& details) {
    if (auto table = tableFor(details)) {
        if (auto symbol = table->lookup(local - details.slide))
            return Found{std::string(symbol->name), details.slide + symbol->value};
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(local), &info) == 0) return std::nullopt;
    if (info.dli_saddr == nullptr) return Found{std::nullopt, local};
    Found found{std::nullopt, reinterpret_cast<uint64_t>(info.dli_saddr)};
    if (info.dli_sname != nullptr) found.name = info.dli_sname;
    return found;
}

bool QXSymbolResolver::updateStackFrame(QXStackFrame& frame, FrameKind kind) {
    const uint64_t address = frame.address;
    if (address == 0) return false;
    std::optional<nlohmann::json> image = loadedBinaryImageForPC(address);
    if (!image) return false;
    std::optional<std::string> uuid;
    if (auto found = image->find("uuid"); found != image->end() && found->is_string())
        uuid = found->get<std::string>();
    QXBinaryImageDetails details;
    if (!fillInImageDetails(&details, uuid)) return false;

    uint64_t local = details.node.baseAddress + (address - numberOf(*image, "base"));
    std::optional<Found> symbol = symbolAt(local, details);
    if (kind == FrameKind::ReturnAddress && local > 2) {
        // The call lies before a return address. When the byte before it belongs to another
        // function (the return address is a function's first byte, or the padding after the
        // function whose last instruction was the call), the frame is that function's.
        std::optional<Found> before = symbolAt(local - 1, details);
        if (before && before->name && (!symbol || symbol->address != before->address)) {
            local -= 2;
            symbol = symbolAt(local, details);
        }
    }
    if (!symbol) return false;
    if (symbol->name) {
        frame.symbol = symbol->name;
        frame.rawSymbol = symbol->name;
    }
    if (local > symbol->address) frame.offset = local - symbol->address;
    if (auto path = image->find("path"); path != image->end() && path->is_string())
        frame.library = std::filesystem::path(path->get<std::string>()).filename().string();
    return true;
}

std::optional<QXStackFrame> QXSymbolResolver::frameForAddress(uint64_t address, FrameKind kind) {
    QXStackFrame frame = QXStackFrame::stackFrameWithAddress(address);
    if (!updateStackFrame(frame, kind)) return std::nullopt;
    return frame;
}

}  // namespace wv
