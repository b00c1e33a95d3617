#pragma once

// Reading ".qxrecord" files back at the next launch (ordinary code, not crash-time).

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

// Returns the object to keep in place of a line's object, or none to drop the line.
using QXFileSectionTransform = std::function<std::optional<nlohmann::json>(const nlohmann::json&)>;

// Every line that is a whole JSON object, in file order. Each line is parsed alone: a torn
// last line, garbage, invalid UTF-8 or a broken quote loses only its own line. None when the
// path is absent or the file cannot be read (a directory included); then the file is removed
// when `removeOnFailure` is set.
std::optional<std::vector<nlohmann::json>> QXFileReadSections(
    const std::optional<std::filesystem::path>& path, bool removeOnFailure,
    const QXFileSectionTransform& transform = {});

// Two lower-case hex characters per byte.
std::string QXFileHexEncodeString(std::string_view text);
// Decodes pairs in order up to the first pair holding a non-hex character (an odd last
// character is ignored); none when the decoded bytes are not valid UTF-8.
std::optional<std::string> QXFileHexDecodeString(std::string_view hexText);

bool QXIsValidUTF8(std::string_view bytes);

}  // namespace wv
