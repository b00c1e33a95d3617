#include "sdk/crash/images/testing/QXTestImageTable.h"

#include <link.h>
#include <unistd.h>

#include <cstring>

#include "sdk/crash/images/QXBinaryImage.h"

namespace wv::test {

QXTestImageTable::QXTestImageTable(std::string logPath)
    : logPath_(std::move(logPath)),
      context_(std::make_unique<QXReadOnlyContext>()),
      writable_(std::make_unique<QXWritableContext>()),
      previous_(qxContext),
      previousWritable_(qxWritableContext) {
    context_->initialized = 1;
    context_->logPath = logPath_.empty() ? nullptr : logPath_.c_str();
    writable_->logDescriptor = -1;
    writable_->logMinimumLevel = 1;
    writable_->binaryImagesFile.descriptor = -1;
    qxContext = context_.get();
    qxWritableContext = writable_.get();
    reload();
}

QXTestImageTable::~QXTestImageTable() {
    if (writable_->logDescriptor >= 0) close(writable_->logDescriptor);
    qxContext = previous_;
    qxWritableContext = previousWritable_;
}

void QXTestImageTable::clear() {
    memset(writable_->binaryImages, 0, sizeof(writable_->binaryImages));
}

bool QXTestImageTable::add(const QXBinaryImageNode& node) {
    for (auto& slot : writable_->binaryImages) {
        if (slot.baseAddress == 0) {
            slot = node;
            return true;
        }
    }
    return false;
}

void QXTestImageTable::reload() {
    clear();
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* self) {
            QXBinaryImageNode node;
            if (QXBinaryImageNodeFromProgramHeaders(info, &node)) {
                static_cast<QXTestImageTable*>(self)->add(node);
            }
            return 0;
        },
        this);
}

}  // namespace wv::test
