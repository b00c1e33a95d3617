#pragma once

// The table of loaded images in the writable context, and its crash-time lookup.
//
// Crash-time contract for the lookups: async-signal-safe, no heap, no lock, no stdio. The
// table is read without locks while the loader's callbacks may write it: a slot is claimed
// by a compare-and-swap of its base before its size is stored, so a reader sees at worst a
// size of 0 and passes the slot by.

#include <link.h>

#include <cstdint>
#include <string>

#include "platform/loader/Loader.h"
#include "sdk/core/TRNMachO.h"
#include "sdk/crash/context/QXBinaryImageNode.h"
#include "sdk/crash/context/QXFile.h"

namespace wv {

// Copies out the first node with base <= address < base + size. False for an out pointer
// below 4096, an address of 0 or a context that is not initialised.
bool QXBinaryImageSafeFindImageForAddress(uintptr_t address, QXBinaryImageNode* node);

// The node's unwind-information address is a real one (4096 or more).
bool QXBinaryImageHasCompactUnwindInfo(const QXBinaryImageNode* node);

// The node of an ELF object the loader reports (not at crash time): base at the ELF header,
// size to the end of the last executable segment, `.eh_frame_hdr` from PT_GNU_EH_FRAME and
// `.eh_frame` from the header's own pointer. False when the object has no executable segment
// or its header is not mapped.
bool QXBinaryImageNodeFromProgramHeaders(const dl_phdr_info* info, QXBinaryImageNode* node);

// What is known of one image beyond its node. Not crash-time: filled and written on the
// loader's thread and the binary-images queue. The UUID is the GNU build-id in hexadecimal
// (40 characters for a sha1 build-id), "" for an image without one; encrypted is always 0
// and the versions come from the ABI-tag note (minimum) or stay 0.0.0 (built), as ELF has no
// more.
struct QXBinaryImageDetails {
    std::string path;
    char uuid[65];
    uint8_t encrypted;
    TRNVersionTriple builtSDK;
    TRNVersionTriple minimumSDK;
    uint16_t machine;
    QXBinaryImageNode node;  // text base and size, and the unwind sections
    uint64_t slide;
};

// Clears the table, starts "binary_images.qxrecord" anew and registers with the loader, whose
// first report (every image already loaded) is written while the file stays open.
void QXBinaryImageInit();
void QXBinaryImageAddedCallback(const LoadedImage& image);
void QXBinaryImageRemovedCallback(const LoadedImage& image);
// Claims a free slot for a load, or empties the live slot of an unload (its base stays, so
// the slot is never reused), then queues the record line. False when the table had no slot
// for it; the line is written all the same.
bool QXBinaryImageStoreNode(bool added, const LoadedImage& image);

// One entry of the loader's list as an image; the first entry (the executable, which the
// loader reports without a name) takes its path from /proc/self/exe.
LoadedImage QXBinaryImageLoadedImageOf(const dl_phdr_info* info, bool first);
// From the program headers of a loaded image; false when it has no executable segment.
bool QXBinaryImageFillInImageDetails(const LoadedImage& image, QXBinaryImageDetails* details);
// The first loaded image whose UUID text equals `uuid`.
bool QXBinaryImageFindImageForUUID(const char* uuid, QXBinaryImageDetails* details);
// `uuid`, `base`, `size`.
void QXBinaryImageRecordDetails(QXFile* file, const QXBinaryImageDetails& details);
// The `executable` section of the run's metadata. Always true.
bool QXBinaryImageRecordMainImage(QXFile* file);

}  // namespace wv
