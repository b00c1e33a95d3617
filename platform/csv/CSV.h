#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

// A comma-separated UTF-8 table (a byte-order mark is allowed) whose first record names the
// columns. Fields may be quoted; a quoted field holds commas, line breaks and doubled quotes.
// Records end with LF or CRLF. Empty lines are no records. A record shorter than the header
// lacks the missing fields; fields beyond the header are ignored.
// Reading fails (no table) for a file that cannot be read, is not UTF-8, has no header, or
// ends inside a quoted field.
class CSV {
public:
    using Row = std::map<std::string, std::string>;

    static std::optional<CSV> fromFile(const std::filesystem::path& path);
    static std::optional<CSV> fromString(std::string_view text);

    const std::vector<std::string>& header() const { return header_; }
    // Every data record in file order, as a map from column name to field. When two columns
    // share a name the first one counts.
    void enumerateAsDict(const std::function<void(const Row&)>& visit) const;
    size_t rowCount() const { return rows_.size(); }

private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace wv
