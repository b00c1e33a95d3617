#include "platform/plist/Value.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/foundation/Log.h"

namespace wv::plist {

// ---- Dictionary ----

const Value* Dictionary::find(std::string_view key) const {
    for (const auto& [k, v] : entries_) {
        if (k == key) return &v;
    }
    return nullptr;
}

Value* Dictionary::find(std::string_view key) {
    for (auto& [k, v] : entries_) {
        if (k == key) return &v;
    }
    return nullptr;
}

void Dictionary::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

bool Dictionary::erase(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

// Equal as dictionaries: the same keys with equal values, whatever their order.
bool Dictionary::operator==(const Dictionary& other) const {
    if (size() != other.size()) return false;
    for (const auto& [k, v] : entries_) {
        const Value* theirs = other.find(k);
        if (!theirs || !(*theirs == v)) return false;
    }
    return true;
}

// ---- conversion through libplist ----

namespace {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr int64_t kAppleEpochOffset = 978307200;

struct NodeDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

plist_t toNode(const Value& value);

plist_t dateNode(const Date& date) {
    using namespace std::chrono;
    const auto us =
        duration_cast<microseconds>(date.time_since_epoch()).count() - kAppleEpochOffset * 1000000;
    int64_t sec = us / 1000000;
    int64_t usec = us % 1000000;
    if (usec < 0) {
        usec += 1000000;
        sec -= 1;
    }
    return plist_new_date(int32_t(sec), int32_t(usec));
}

plist_t toNode(const Value& value) {
    return std::visit(
        [](const auto& v) -> plist_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return plist_new_string(v.c_str());
            } else if constexpr (std::is_same_v<T, int64_t>) {
                // The library keeps integers as 64-bit patterns and writes them signed.
                return plist_new_uint(uint64_t(v));
            } else if constexpr (std::is_same_v<T, double>) {
                return plist_new_real(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return plist_new_bool(v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, Data>) {
                return plist_new_data(reinterpret_cast<const char*>(v.data()), v.size());
            } else if constexpr (std::is_same_v<T, Date>) {
                return dateNode(v);
            } else if constexpr (std::is_same_v<T, Array>) {
                plist_t array = plist_new_array();
                for (const auto& item : v) plist_array_append_item(array, toNode(item));
                return array;
            } else {
                plist_t dict = plist_new_dict();
                for (const auto& [key, item] : v)
                    plist_dict_set_item(dict, key.c_str(), toNode(item));
                return dict;
            }
        },
        value.storage());
}

std::optional<Value> fromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            // Read with its length: a string holding a NUL byte (a damaged file) would trip
            // an assertion inside plist_get_string_val and end the program.
            uint64_t length = 0;
            const char* s = plist_get_string_ptr(node, &length);
            return Value(s ? std::string(s, size_t(length)) : std::string());
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            return Value(int64_t(v));
        }
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(node, &v);
            return Value(v);
        }
        case PLIST_BOOLEAN: {
            uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return Value(v != 0);
        }
        case PLIST_DATA: {
            char* bytes = nullptr;
            uint64_t length = 0;
            plist_get_data_val(node, &bytes, &length);
            Data out(bytes, bytes + length);
            free(bytes);
            return Value(std::move(out));
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            using namespace std::chrono;
            return Value(Date(duration_cast<system_clock::duration>(
                microseconds((int64_t(sec) + kAppleEpochOffset) * 1000000 + usec))));
        }
        case PLIST_ARRAY: {
            Array out;
            const uint32_t n = plist_array_get_size(node);
            for (uint32_t i = 0; i < n; ++i) {
                auto item = fromNode(plist_array_get_item(node, i));
                if (!item) return std::nullopt;
                out.push_back(std::move(*item));
            }
            return Value(std::move(out));
        }
        case PLIST_DICT: {
            Dictionary out;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            while (true) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, it, &key, &item);
                if (!item) {
                    free(key);
                    break;
                }
                auto converted = fromNode(item);
                std::string k = key ? key : "";
                free(key);
                if (!converted) {
                    free(it);
                    return std::nullopt;
                }
                out.set(std::move(k), std::move(*converted));
            }
            free(it);
            return Value(std::move(out));
        }
        default:
            return std::nullopt;  // keys and uids never stand alone in our files
    }
}

}  // namespace

std::optional<Value> fromXml(std::string_view xml) {
    if (xml.empty()) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(xml.data(), uint32_t(xml.size()), &root);
    if (!root) return std::nullopt;
    Node holder(root);
    return fromNode(root);
}

std::string toXml(const Value& value) {
    Node root(toNode(value));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    std::string out(xml ? xml : "", length);
    plist_to_xml_free(xml);
    return out;
}

std::optional<Value> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;  // a missing file is the ordinary first start
    std::stringstream buffer;
    buffer << in.rdbuf();
    auto value = fromXml(buffer.str());
    if (!value) Log::print("can't read property list at path : " + path.string());
    return value;
}

bool writeFile(const std::filesystem::path& path, const Value& value) {
    const std::string xml = toXml(value);
    const std::string temp = path.string() + ".tmp-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        Log::print("can't write property list at path : " + path.string() + " (" +
                   std::strerror(errno) + ")");
        return false;
    }
    size_t written = 0;
    bool ok = true;
    while (ok && written < xml.size()) {
        const ssize_t n = ::write(fd, xml.data() + written, xml.size() - written);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) written += size_t(n);
    }
    ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        Log::print("can't write property list at path : " + path.string() + " (" +
                   std::strerror(errno) + ")");
        ::unlink(name.data());
    }
    return ok;
}

}  // namespace wv::plist
