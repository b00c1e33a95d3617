#include "sdk/core/TRNURLBuilder.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/net/URLString.h"

namespace wv {

namespace {

void appendEscaped(std::string& out, unsigned char c) {
    static const char* hex = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 15];
}

bool isUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string textOf(const TRNURLBuilder::Value& value) {
    if (auto* s = std::get_if<std::string>(&value)) return *s;
    if (auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
    if (auto* u = std::get_if<uint64_t>(&value)) return std::to_string(*u);
    std::ostringstream out;
    out << std::get<double>(value);
    return out.str();
}

}  // namespace

TRNURLBuilder TRNURLBuilder::URLWithBase(std::string base) {
    TRNURLBuilder builder;
    builder.urlString_ = std::move(base);
    return builder;
}

void TRNURLBuilder::appendComponent(const std::string& component) { urlString_ += component; }

void TRNURLBuilder::escapeAndAppendComponent(const std::string& component) {
    appendComponent(escapeString(component));
}

void TRNURLBuilder::appendValue(const std::optional<Value>& value, const std::string& name) {
    if (!value) return;
    urlString_ += queryParams_ == 0 ? "?" : "&";
    ++queryParams_;
    urlString_ += name;
    urlString_ += "=";
    urlString_ += escapeQueryValue(textOf(*value));
}

std::string TRNURLBuilder::escapeString(const std::string& text) {
    static const char* kIllegal = " \"<>{}|\\^[]`";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7f || std::strchr(kIllegal, c))
            appendEscaped(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string TRNURLBuilder::escapeQueryValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (isUnreserved(c))
            out += static_cast<char>(c);
        else
            appendEscaped(out, c);
    }
    return out;
}

std::optional<std::string> TRNURLBuilder::URL() const {
    if (!net::isValidURL(urlString_)) return std::nullopt;
    return urlString_;
}

}  // namespace wv
