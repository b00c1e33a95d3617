#pragma once

// The function symbols of an ELF file's `.symtab`, for naming addresses the dynamic loader
// cannot: it knows only the exported `.dynsym`, so every local and hidden function would
// otherwise be named after the nearest exported one.
//
// The file is hostile input: every offset, size and index read from it is range-checked, and
// a file that fails any check simply has no table.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

class QXElfSymbolTable {
  public:
    struct Symbol {
        std::string_view name;  // valid while the table lives
        uint64_t value;         // the link-time address
        uint64_t size;
    };

    // None when the file cannot be read, is no ELF file of this machine's class, has no
    // `.symtab`, or carries a build-id other than `buildID` (lower-case hexadecimal; an empty
    // one checks nothing): a file replaced on disk since it was loaded must not name the
    // addresses of the old one.
    static std::shared_ptr<const QXElfSymbolTable> load(const std::filesystem::path& path,
                                                        const std::string& buildID);

    // The function that holds `value` (a link-time address): among the symbols starting
    // closest below it, one whose size reaches it, a global name before a weak one before a
    // local one. None when the closest start does not reach it.
    std::optional<Symbol> lookup(uint64_t value) const;

  private:
    struct Entry {
        uint64_t value;
        uint64_t size;
        uint32_t name;  // offset into strings_
        uint8_t rank;   // 0 global, 1 weak, 2 local
    };
    std::string strings_;
    std::vector<Entry> entries_;  // by value, then rank
};

}  // namespace wv
