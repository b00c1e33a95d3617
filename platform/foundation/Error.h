#pragma once

#include <any>
#include <cstdint>
#include <map>
#include <string>

namespace wv {

// A run-time failure handed to a completion block or a delegate: the domain says whose codes
// these are, the code which failure, and the user information carries what the receiver may
// show or act on (the key "NSLocalizedDescription" holds a readable text when there is one).
struct Error {
    std::string domain;
    int64_t code = 0;
    std::map<std::string, std::any> userInfo;

    static constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";

    // The readable text, or "<domain> error <code>" when the user information has none.
    std::string localizedDescription() const;
    // "Error Domain=<domain> Code=<code> \"<description>\"", the form the logs print.
    std::string description() const;
};

}  // namespace wv
