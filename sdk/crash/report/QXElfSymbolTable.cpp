#include "sdk/crash/report/QXElfSymbolTable.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace wv {
namespace {

class FileReader {
  public:
    explicit FileReader(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st {};
        if (fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = uint64_t(st.st_size);
    }
    ~FileReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    uint64_t size() const { return size_; }

    // Exactly `length` bytes at `offset`, all inside the file.
    bool read(uint64_t offset, void* out, uint64_t length) const {
        if (offset > size_ || length > size_ - offset) return false;
        auto* cursor = static_cast<char*>(out);
        while (length > 0) {
            const ssize_t n = ::pread(fd_, cursor, length, off_t(offset));
            if (n <= 0) return false;
            cursor += n;
            offset += uint64_t(n);
            length -= uint64_t(n);
        }
        return true;
    }

  private:
    int fd_;
    uint64_t size_ = 0;
};

std::string hex(const uint8_t* bytes, size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

// The GNU build-id of the file's note sections, "" when it has none.
std::string buildIDOf(const FileReader& file, const std::vector<ElfW(Shdr)>& sections) {
    for (const ElfW(Shdr) & section : sections) {
        if (section.sh_type != SHT_NOTE || section.sh_size > (1u << 20)) continue;
        std::vector<uint8_t> notes(section.sh_size);
        if (!file.read(section.sh_offset, notes.data(), notes.size())) continue;
        size_t at = 0;
        while (notes.size() - at >= sizeof(ElfW(Nhdr))) {
            ElfW(Nhdr) note;
            memcpy(&note, notes.data() + at, sizeof note);
            const uint64_t name = at + sizeof note;
            const uint64_t desc = name + ((uint64_t(note.n_namesz) + 3) & ~uint64_t(3));
            const uint64_t next = desc + ((uint64_t(note.n_descsz) + 3) & ~uint64_t(3));
            if (next > notes.size()) break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                memcmp(notes.data() + name, "GNU", 4) == 0)
                return hex(notes.data() + desc, note.n_descsz);
            at = size_t(next);
        }
    }
    return "";
}

uint8_t rankOf(unsigned char binding) {
    if (binding == STB_GLOBAL) return 0;
    if (binding == STB_WEAK) return 1;
    return 2;
}

}  // namespace

std::shared_ptr<const QXElfSymbolTable> QXElfSymbolTable::load(const std::filesystem::path& path,
                                                               const std::string& buildID) {
    FileReader file(path);
    ElfW(Ehdr) header;
    if (!file.read(0, &header, sizeof header)) return nullptr;
    if (memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
        header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shoff == 0)
        return nullptr;
    uint64_t count = header.e_shnum;
    if (count == 0) {  // more sections than the header can count: the first one holds it
        ElfW(Shdr) first;
        if (!file.read(header.e_shoff, &first, sizeof first)) return nullptr;
        count = first.sh_size;
    }
    if (count == 0 || count > file.size() / sizeof(ElfW(Shdr))) return nullptr;
    std::vector<ElfW(Shdr)> sections(count);
    if (!file.read(header.e_shoff, sections.data(), count * sizeof(ElfW(Shdr)))) return nullptr;
    if (!buildID.empty() && buildIDOf(file, sections) != buildID) return nullptr;

    auto symtab = std::find_if(sections.begin(), sections.end(),
                               [](const ElfW(Shdr) & s) { return s.sh_type == SHT_SYMTAB; });
    if (symtab == sections.end() || symtab->sh_entsize != sizeof(ElfW(Sym)) ||
        symtab->sh_link >= count || sections[symtab->sh_link].sh_type != SHT_STRTAB)
        return nullptr;
    const ElfW(Shdr)& strtab = sections[symtab->sh_link];
    if (symtab->sh_size > file.size() || strtab.sh_size > file.size() ||
        strtab.sh_size > UINT32_MAX)
        return nullptr;

    auto table = std::make_shared<QXElfSymbolTable>();
    table->strings_.resize(strtab.sh_size);
    if (!file.read(strtab.sh_offset, table->strings_.data(), strtab.sh_size)) return nullptr;
    std::vector<ElfW(Sym)> symbols(symtab->sh_size / sizeof(ElfW(Sym)));
    if (!file.read(symtab->sh_offset, symbols.data(), symbols.size() * sizeof(ElfW(Sym))))
        return nullptr;
    for (const ElfW(Sym) & symbol : symbols) {
        const unsigned char type = ELF64_ST_TYPE(symbol.st_info);
        if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF ||
            symbol.st_size == 0 || symbol.st_name == 0 || symbol.st_name >= strtab.sh_size)
            continue;
        // A name must end inside the string table.
        if (table->strings_.find('\0', symbol.st_name) == std::string::npos) continue;
        table->entries_.push_back({symbol.st_value, symbol.st_size, symbol.st_name,
                                   rankOf(ELF64_ST_BIND(symbol.st_info))});
    }
    std::sort(table->entries_.begin(), table->entries_.end(), [](const Entry& a, const Entry& b) {
        return a.value != b.value ? a.value < b.value : a.rank < b.rank;
    });
    return table;
}

std::optional<QXElfSymbolTable::Symbol> QXElfSymbolTable::lookup(uint64_t value) const {
    auto after = std::upper_bound(entries_.begin(), entries_.end(), value,
                                  [](uint64_t v, const Entry& e) { return v < e.value; });
    if (after == entries_.begin()) return std::nullopt;
    const uint64_t start = std::prev(after)->value;
    auto first = std::lower_bound(entries_.begin(), after, start,
                                  [](const Entry& e, uint64_t v) { return e.value < v; });
    for (auto it = first; it != after; ++it) {
        if (value - it->value < it->size)
            return Symbol{std::string_view(strings_.c_str() + it->name), it->value, it->size};
    }
    return std::nullopt;
}

}  // namespace wv
