#pragma once

// For tests: stands in both context records (marked initialised) with an image table filled
// from what the loader reports through dl_iterate_phdr, and puts the previous records back.
// The SDK log stays closed unless a path is given.

#include <memory>
#include <string>

#include "sdk/crash/context/QXContext.h"

namespace wv::test {

class QXTestImageTable {
  public:
    explicit QXTestImageTable(std::string logPath = {});
    ~QXTestImageTable();
    QXTestImageTable(const QXTestImageTable&) = delete;
    QXTestImageTable& operator=(const QXTestImageTable&) = delete;

    // Empties the table and fills it again from the loader's current list.
    void reload();
    // Puts a node into the first free slot; false when the table is full.
    bool add(const QXBinaryImageNode& node);
    void clear();
    QXWritableContext& writable() { return *writable_; }

  private:
    std::string logPath_;
    std::unique_ptr<QXReadOnlyContext> context_;
    std::unique_ptr<QXWritableContext> writable_;
    QXReadOnlyContext* previous_;
    QXWritableContext* previousWritable_;
};

}  // namespace wv::test
