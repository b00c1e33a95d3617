#include "platform/net/HTTPHeaders.h"

#include <algorithm>
#include <cctype>

namespace wv::net {

HTTPHeaders::HTTPHeaders(std::initializer_list<Field> fields) {
    for (const auto& f : fields) add(f.first, f.second);
}

bool HTTPHeaders::equalNames(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<HTTPHeaders::Field>::const_iterator HTTPHeaders::find(std::string_view name) const {
    return std::find_if(fields_.begin(), fields_.end(),
                        [&](const Field& f) { return equalNames(f.first, name); });
}

std::vector<HTTPHeaders::Field>::iterator HTTPHeaders::find(std::string_view name) {
    return std::find_if(fields_.begin(), fields_.end(),
                        [&](const Field& f) { return equalNames(f.first, name); });
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
    auto it = find(name);
    if (it == fields_.end()) return std::nullopt;
    return it->second;
}

void HTTPHeaders::set(std::string_view name, std::string value) {
    auto it = find(name);
    if (it != fields_.end()) {
        it->second = std::move(value);
    } else {
        fields_.emplace_back(std::string(name), std::move(value));
    }
}

void HTTPHeaders::add(std::string_view name, std::string value) {
    auto it = find(name);
    if (it != fields_.end()) {
        it->second += ", " + value;
    } else {
        fields_.emplace_back(std::string(name), std::move(value));
    }
}

void HTTPHeaders::remove(std::string_view name) {
    fields_.erase(std::remove_if(fields_.begin(), fields_.end(),
                                 [&](const Field& f) { return equalNames(f.first, name); }),
                  fields_.end());
}

}  // namespace wv::net
