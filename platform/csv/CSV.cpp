#include "platform/csv/CSV.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

namespace wv {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// Splits the text into records of fields. False when the text ends inside a quoted field.
bool parseRecords(std::string_view text, std::vector<std::vector<std::string>>& records) {
    std::vector<std::string> record;
    std::string field;
    bool inQuotes = false;
    bool lineHasContent = false;  // distinguishes an empty line from a record of one empty field
    bool fieldStarted = false;    // a quote opens a quoted part only at the start of a field

    auto endRecord = [&] {
        if (lineHasContent) {
            record.push_back(std::move(field));
            records.push_back(std::move(record));
        }
        record.clear();
        field.clear();
        lineHasContent = false;
        fieldStarted = false;
    };

    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field.push_back('"');
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field.push_back(c);
            }
            continue;
        }
        switch (c) {
            case '"':
                if (fieldStarted) {
                    field.push_back(c);  // a stray quote inside an unquoted field is text
                } else {
                    inQuotes = true;
                }
                fieldStarted = true;
                lineHasContent = true;
                break;
            case ',':
                record.push_back(std::move(field));
                field.clear();
                fieldStarted = false;
                lineHasContent = true;
                break;
            case '\r':
                if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
                endRecord();
                break;
            case '\n':
                endRecord();
                break;
            default:
                field.push_back(c);
                fieldStarted = true;
                lineHasContent = true;
                break;
        }
    }
    if (inQuotes) return false;
    endRecord();
    return true;
}

}  // namespace

std::optional<CSV> CSV::fromFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return fromString(content.str());
}

std::optional<CSV> CSV::fromString(std::string_view text) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    if (!isValidUtf8(text)) return std::nullopt;
    std::vector<std::vector<std::string>> records;
    if (!parseRecords(text, records) || records.empty()) return std::nullopt;
    CSV table;
    table.header_ = std::move(records.front());
    table.rows_.assign(std::make_move_iterator(records.begin() + 1),
                       std::make_move_iterator(records.end()));
    return table;
}

void CSV::enumerateAsDict(const std::function<void(const Row&)>& visit) const {
    for (const auto& fields : rows_) {
        Row row;
        const size_t n = std::min(fields.size(), header_.size());
        for (size_t i = 0; i < n; ++i) row.emplace(header_[i], fields[i]);
        visit(row);
    }
}

}  // namespace wv
