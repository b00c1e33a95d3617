#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace wv {

// Assembles a request URL from a base, path components and query parameters.
class TRNURLBuilder {
  public:
    using Value = std::variant<std::string, int64_t, uint64_t, double>;

    TRNURLBuilder() = default;
    static TRNURLBuilder URLWithBase(std::string base);

    // Appended as it comes: callers write the slashes themselves.
    void appendComponent(const std::string& component);
    void escapeAndAppendComponent(const std::string& component);
    // "?" before the first parameter, "&" before the others; the name goes in as it is, the
    // value escaped strictly (only letters, digits and "-._~" stay), so a value holding "&",
    // "=", "+" or "#" cannot start another parameter or a fragment. No value, no parameter.
    void appendValue(const std::optional<Value>& value, const std::string& name);

    // The legacy escaping of text for a URL: what may never appear in one (blanks, controls,
    // non-ASCII bytes, quotes, <>{}|\^[]`) becomes %XX of its UTF-8 bytes; the delimiters
    // "/", "?", "&", "=", "+", ":" and the rest of what a URL may hold pass unchanged.
    static std::string escapeString(const std::string& text);
    // Everything but letters, digits and "-._~" becomes %XX.
    static std::string escapeQueryValue(const std::string& text);

    const std::string& URLString() const { return urlString_; }
    uint64_t queryParams() const { return queryParams_; }
    // The URL when a strict parser accepts the text, else nothing.
    std::optional<std::string> URL() const;

  private:
    std::string urlString_;
    uint64_t queryParams_ = 0;
};

}  // namespace wv
