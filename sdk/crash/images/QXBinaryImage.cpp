#include "sdk/crash/images/QXBinaryImage.h"

#include <elf.h>
#include <errno.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXDataParsing.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"
#include "platform/dispatch/SerialQueue.h"
#include "sdk/core/TRNElf.h"

namespace wv {

bool QXBinaryImageSafeFindImageForAddress(uintptr_t address, QXBinaryImageNode* node) {
    if (!QXIsValidPointer(node) || address == 0 || !QXContextIsInitialized()) return false;
    if (!QXIsValidPointer(qxWritableContext)) return false;
    for (uint32_t i = 0; i < kQXBinaryImageNodeCount; ++i) {
        const QXBinaryImageNode* slot = &qxWritableContext->binaryImages[i];
        if (!QXIsValidPointer(slot)) {
            QXLogWarn(
                "Invalid node pointer encountered in context's writable binary image at "
                "index %i\n",
                static_cast<int>(i));
            continue;
        }
        uint64_t base = __atomic_load_n(&slot->baseAddress, __ATOMIC_ACQUIRE);
        if (base == 0) continue;
        uint64_t size = __atomic_load_n(&slot->size, __ATOMIC_ACQUIRE);
        // Written as a difference so a base near the top of the address space cannot wrap.
        if (address >= base && address - base < size) {
            node->baseAddress = base;
            node->size = size;
            node->ehFrame = __atomic_load_n(&slot->ehFrame, __ATOMIC_RELAXED);
            node->unwindInfo = __atomic_load_n(&slot->unwindInfo, __ATOMIC_RELAXED);
            node->crashInfo = __atomic_load_n(&slot->crashInfo, __ATOMIC_RELAXED);
            return true;
        }
    }
    return false;
}

bool QXBinaryImageHasCompactUnwindInfo(const QXBinaryImageNode* node) {
    return QXIsValidPointer(node) && node->unwindInfo >= kQXInvalidAddressLimit;
}

bool QXBinaryImageNodeFromProgramHeaders(const dl_phdr_info* info, QXBinaryImageNode* node) {
    if (info == nullptr || node == nullptr) return false;
    memset(node, 0, sizeof(*node));
    uint64_t header = 0;
    uint64_t executableEnd = 0;
    uint64_t ehFrameHeader = 0;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && ph.p_offset == 0) header = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && (ph.p_flags & PF_X) != 0) {
            uint64_t end = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
            if (end > executableEnd) executableEnd = end;
        }
        if (ph.p_type == PT_GNU_EH_FRAME) ehFrameHeader = info->dlpi_addr + ph.p_vaddr;
    }
    if (header < kQXInvalidAddressLimit || executableEnd <= header) return false;
    node->baseAddress = header;
    node->size = executableEnd - header;
    node->unwindInfo = ehFrameHeader;
    if (ehFrameHeader >= kQXInvalidAddressLimit) {
        // version, eh_frame_ptr encoding, then the pointer to .eh_frame in that encoding.
        const auto* cursor = reinterpret_cast<const uint8_t*>(ehFrameHeader);
        if (cursor[0] == 1) {
            uint8_t encoding = cursor[1];
            cursor += 4;
            uint64_t ehFrame = QXParseAddressWithEncodingAndAdvance(&cursor, encoding);
            if (ehFrame != kQXParseFailed) node->ehFrame = ehFrame;
        }
    }
    return true;
}

}  // namespace wv

// ---- Tracking the loader's images ----

namespace wv {
namespace {

// The details of every image in the table, so an unload (whose memory is gone by then) can
// still name its path, UUID and range. Touched on the loader's thread only.
std::map<uint64_t, QXBinaryImageDetails>& liveDetails() {
    static auto* details = new std::map<uint64_t, QXBinaryImageDetails>;
    return *details;
}

bool openIfNeeded(QXFile* file, bool* opened) {
    *opened = false;
    if (QXIsValidPointer(qxWritableContext) && QXFileIsOpen(&qxWritableContext->binaryImagesFile)) {
        *file = qxWritableContext->binaryImagesFile;
        return true;
    }
    if (!QXIsValidPointer(qxContext) || qxContext->binaryImagesPath == nullptr ||
        !QXFileInitWithPathMode(file, qxContext->binaryImagesPath, true, false)) {
        QXLogWarn("Error: unable to open binary image log file\n");
        return false;
    }
    *opened = true;
    return true;
}

void recordSlice(bool added, const QXBinaryImageDetails& details) {
    QXFile local;
    bool opened = false;
    if (!openIfNeeded(&local, &opened)) return;
    QXFile* file = opened ? &local : &qxWritableContext->binaryImagesFile;
    QXFileWriteSectionStart(file, added ? "load" : "unload");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryString(file, "path", details.path.empty() ? nullptr : details.path.c_str());
    QXBinaryImageRecordDetails(file, details);
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
    if (opened) QXFileClose(&local);
}

// The GNU build-id note among the image's PT_NOTE segments, as lower-case hexadecimal.
void readBuildID(const LoadedImage& image, char* out, size_t size) {
    out[0] = '\0';
    for (uint16_t i = 0; i < image.phnum; ++i) {
        const ElfW(Phdr)& ph = image.phdr[i];
        if (ph.p_type != PT_NOTE) continue;
        const auto* p = reinterpret_cast<const uint8_t*>(image.slide + ph.p_vaddr);
        const uint8_t* end = p + ph.p_memsz;
        while (p + sizeof(ElfW(Nhdr)) <= end) {
            ElfW(Nhdr) note;
            memcpy(&note, p, sizeof note);
            const uint8_t* name = p + sizeof note;
            const uint8_t* desc = name + ((note.n_namesz + 3) & ~3u);
            const uint8_t* next = desc + ((note.n_descsz + 3) & ~3u);
            if (next > end || next <= p) break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                memcmp(name, "GNU", 4) == 0 && note.n_descsz * 2 + 1 <= size) {
                QXUtilityHexEncodeBytes(desc, note.n_descsz, out);
                return;
            }
            p = next;
        }
    }
}

}  // namespace

LoadedImage QXBinaryImageLoadedImageOf(const dl_phdr_info* info, bool first) {
    LoadedImage image{};
    if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
        image.path = info->dlpi_name;
    } else if (first) {
        char buffer[4096];
        const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n > 0) image.path.assign(buffer, size_t(n));
    }
    image.slide = info->dlpi_addr;
    image.phdr = info->dlpi_phdr;
    image.phnum = info->dlpi_phnum;
    return image;
}

bool QXBinaryImageFillInImageDetails(const LoadedImage& image, QXBinaryImageDetails* details) {
    if (details == nullptr || image.phdr == nullptr) return false;
    *details = QXBinaryImageDetails{};
    details->path = image.path;
    details->slide = image.slide;
    dl_phdr_info info{};
    info.dlpi_addr = image.slide;
    info.dlpi_name = image.path.c_str();
    info.dlpi_phdr = image.phdr;
    info.dlpi_phnum = image.phnum;
    if (!QXBinaryImageNodeFromProgramHeaders(&info, &details->node)) return false;
    readBuildID(image, details->uuid, sizeof details->uuid);
    TRNElfIdentity identity;
    if (TRNElfReadIdentity(reinterpret_cast<const uint8_t*>(details->node.baseAddress),
                           details->node.size, &identity)) {
        details->machine = identity.machine;
        if (identity.abiTag) details->minimumSDK = *identity.abiTag;
    }
    return true;
}

bool QXBinaryImageStoreNode(bool added, const LoadedImage& image) {
    QXBinaryImageDetails details;
    if (added) {
        if (!QXBinaryImageFillInImageDetails(image, &details)) return false;
        liveDetails()[details.node.baseAddress] = details;
    } else {
        auto found = liveDetails().find(image.header);
        if (found == liveDetails().end()) return false;  // never tracked: nothing to undo
        details = found->second;
        liveDetails().erase(found);
    }
    const QXBinaryImageNode& node = details.node;
    bool stored = false;
    if (!QXIsValidPointer(qxWritableContext)) {
        QXLogWarn("Error: Writable context is NULL\n");
    } else {
        for (uint32_t i = 0; i < kQXBinaryImageNodeCount && !stored; ++i) {
            QXBinaryImageNode& slot = qxWritableContext->binaryImages[i];
            if (added) {
                uint64_t expected = 0;
                if (!__atomic_compare_exchange_n(&slot.baseAddress, &expected, node.baseAddress,
                                                 false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
                    continue;
                __atomic_store_n(&slot.ehFrame, node.ehFrame, __ATOMIC_RELAXED);
                __atomic_store_n(&slot.unwindInfo, node.unwindInfo, __ATOMIC_RELAXED);
                __atomic_store_n(&slot.crashInfo, node.crashInfo, __ATOMIC_RELAXED);
                __atomic_store_n(&slot.size, node.size, __ATOMIC_RELEASE);
                stored = true;
            } else {
                // Only a live slot: an earlier image at the same address left a slot with
                // this base and size 0 behind, which must stay as it is.
                if (__atomic_load_n(&slot.baseAddress, __ATOMIC_ACQUIRE) != node.baseAddress ||
                    __atomic_load_n(&slot.size, __ATOMIC_ACQUIRE) == 0)
                    continue;
                uint64_t expected = node.baseAddress;
                if (!__atomic_compare_exchange_n(&slot.baseAddress, &expected, node.baseAddress,
                                                 false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
                    QXLogWarn("Error: Failed to swap during image unload\n");
                    break;
                }
                __atomic_store_n(&slot.size, 0, __ATOMIC_RELEASE);
                __atomic_store_n(&slot.ehFrame, 0, __ATOMIC_RELAXED);
                __atomic_store_n(&slot.unwindInfo, 0, __ATOMIC_RELAXED);
                __atomic_store_n(&slot.crashInfo, 0, __ATOMIC_RELAXED);
                stored = true;
            }
        }
    }
    if (!stored) {
        QXLogWarn("Error: Unable to track a %s node %p\n", added ? "loaded" : "unloaded",
                  node.baseAddress);
    }
    if (qxBinaryImagesQueue != nullptr)
        qxBinaryImagesQueue->async([added, details] { recordSlice(added, details); });
    return stored;
}

void QXBinaryImageAddedCallback(const LoadedImage& image) { QXBinaryImageStoreNode(true, image); }

void QXBinaryImageRemovedCallback(const LoadedImage& image) {
    QXBinaryImageStoreNode(false, image);
}

void QXBinaryImageInit() {
    if (!QXIsValidPointer(qxWritableContext)) return;
    memset(qxWritableContext->binaryImages, 0, sizeof qxWritableContext->binaryImages);
    memset(&qxWritableContext->binaryImagesFile, 0, sizeof qxWritableContext->binaryImagesFile);
    qxWritableContext->binaryImagesFile.descriptor = -1;
    liveDetails().clear();
    if (qxBinaryImagesQueue == nullptr) return;
    qxBinaryImagesQueue->async([] {
        if (!QXUtilityUnlinkIfExists(qxContext->binaryImagesPath))
            QXLogWarn("Unable to reset the binary image log file %s\n", strerrordesc_np(errno));
        if (!QXFileInitWithPathMode(&qxWritableContext->binaryImagesFile,
                                    qxContext->binaryImagesPath, true, false))
            QXLogWarn("Error: Unable to open the binary image log file during init\n");
    });
    Loader::registerCallbacks(QXBinaryImageAddedCallback, QXBinaryImageRemovedCallback);
    qxBinaryImagesQueue->async([] { QXFileClose(&qxWritableContext->binaryImagesFile); });
}

bool QXBinaryImageFindImageForUUID(const char* uuid, QXBinaryImageDetails* details) {
    if (uuid == nullptr || details == nullptr) {
        QXLogWarn("null input\n");
        return false;
    }
    struct Search {
        const char* uuid;
        QXBinaryImageDetails* out;
        bool found = false;
        bool first = true;
    } search{uuid, details};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            const LoadedImage image = QXBinaryImageLoadedImageOf(info, s->first);
            s->first = false;
            QXBinaryImageDetails candidate;
            if (!QXBinaryImageFillInImageDetails(image, &candidate)) return 0;
            if (candidate.uuid[0] == '\0' ||
                strncmp(candidate.uuid, s->uuid, sizeof candidate.uuid) != 0)
                return 0;
            *s->out = candidate;
            s->found = true;
            return 1;
        },
        &search);
    return search.found;
}

void QXBinaryImageRecordDetails(QXFile* file, const QXBinaryImageDetails& details) {
    QXFileWriteHashEntryString(file, "uuid", details.uuid);
    QXFileWriteHashEntryUint64(file, "base", details.node.baseAddress);
    QXFileWriteHashEntryUint64(file, "size", details.node.size);
}

bool QXBinaryImageRecordMainImage(QXFile* file) {
    QXBinaryImageDetails details{};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            QXBinaryImageFillInImageDetails(QXBinaryImageLoadedImageOf(info, true),
                                            static_cast<QXBinaryImageDetails*>(data));
            return 1;  // the executable is always reported first
        },
        &details);
    QXFileWriteSectionStart(file, "executable");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryString(file, "architecture", TRNElfArchitectureName(details.machine).c_str());
    QXBinaryImageRecordDetails(file, details);
    QXFileWriteHashEntryBoolean(file, "encrypted", details.encrypted != 0);
    QXFileWriteHashEntryNSString(file, "minimum_sdk_version",
                                 TRNVersionTripleString(&details.minimumSDK));
    QXFileWriteHashEntryNSString(file, "built_sdk_version",
                                 TRNVersionTripleString(&details.builtSDK));
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
    return true;
}

}  // namespace wv
