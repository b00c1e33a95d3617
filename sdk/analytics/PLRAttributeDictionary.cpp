#include "sdk/analytics/PLRAttributeDictionary.h"

#include <charconv>
#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

bool isNumber(const plist::Value& v) { return v.is<int64_t>() || v.is<double>() || v.is<bool>(); }

std::string describeDouble(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, d).ptr;
    return std::string(buffer, end);
}

std::string indent(const std::string& text) {
    std::string out;
    for (char c : text) {
        out.push_back(c);
        if (c == '\n') out += "    ";
    }
    return out;
}

// A number's truth: any non-zero value; text as the platform reads it.
std::optional<bool> truthOf(const plist::Value& value) {
    if (const auto* b = value.get<bool>()) return *b;
    if (const auto* i = value.get<int64_t>()) return *i != 0;
    if (const auto* d = value.get<double>()) return *d != 0;
    if (const auto* s = value.get<std::string>()) return text::boolValue(*s);
    return std::nullopt;
}

}  // namespace

PLRAttributeDictionary::PLRAttributeDictionary(const std::optional<plist::Dictionary>& dictionary) {
    if (!dictionary) return;
    for (const auto& [key, value] : *dictionary) addAttribute(value, key);
}

std::string PLRAttributeDictionary::truncateString(const std::string& text) {
    // Most texts are short ASCII: no conversion is needed to know they fit.
    if (text.size() <= kMaxLength) {
        bool ascii = true;
        for (unsigned char c : text) ascii = ascii && c < 0x80;
        if (ascii) return text;
    }
    std::u16string units = text::toUtf16(text);
    if (units.size() > kMaxLength) {
        Log::system("[Plurio] Maximum length for an Event attributes exceeded. Truncating to " +
                    std::to_string(kMaxLength) + " characters.");
        size_t cut = kMaxLength;
        // Half a surrogate pair is no character: the pair goes as a whole.
        if (units[cut - 1] >= 0xD800 && units[cut - 1] <= 0xDBFF) --cut;
        units.resize(cut);
    }
    return text::fromUtf16(units);
}

std::string PLRAttributeDictionary::describe(const plist::Value& value) {
    if (const auto* s = value.get<std::string>()) return *s;
    if (const auto* i = value.get<int64_t>()) return std::to_string(*i);
    if (const auto* d = value.get<double>()) return describeDouble(*d);
    if (const auto* b = value.get<bool>()) return *b ? "1" : "0";
    if (const auto* data = value.get<plist::Data>()) {
        static const char* hex = "0123456789abcdef";
        std::string out = "<";
        for (size_t i = 0; i < data->size(); ++i) {
            if (i && i % 4 == 0) out.push_back(' ');
            out.push_back(hex[(*data)[i] >> 4]);
            out.push_back(hex[(*data)[i] & 15]);
        }
        return out + ">";
    }
    if (const auto* date = value.get<plist::Date>()) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(date->time_since_epoch()).count();
        return std::to_string(seconds);
    }
    if (const auto* array = value.get<plist::Array>()) {
        std::string out = "(";
        for (size_t i = 0; i < array->size(); ++i)
            out += std::string(i ? "," : "") + "\n    " + indent(describe((*array)[i]));
        return out + "\n)";
    }
    std::string out = "{";
    for (const auto& [k, v] : *value.get<plist::Dictionary>())
        out += "\n    " + k + " = " + indent(describe(v)) + ";";
    return out + "\n}";
}

void PLRAttributeDictionary::addAttribute(const std::optional<plist::Value>& value,
                                          const std::optional<std::string>& key) {
    if (!value || !key) return;
    // The size test comes first: a full dictionary refuses even a key it already holds.
    if (raw_.size() >= kMaxEntries) {
        Log::system("[Plurio] Maximum number of Event attributes exceeded. Ignoring entry " + *key +
                    ":" + describe(*value));
        return;
    }
    if (!value->is<std::string>() && !isNumber(*value)) {
        Log::system(
            "[Plurio] Event attribute values must be of type NSString or NSNumber. Ignoring "
            "entry " +
            *key + ":" + describe(*value));
        return;
    }
    const std::string cutKey = truncateString(*key);
    if (const auto* s = value->get<std::string>()) {
        raw_.set(cutKey, truncateString(*s));
        return;
    }
    // Not-a-number and the infinities have no JSON form: they store nothing and take away
    // what the key held.
    if (const auto* d = value->get<double>(); d && !std::isfinite(*d)) {
        raw_.erase(cutKey);
        return;
    }
    raw_.set(cutKey, *value);
}

void PLRAttributeDictionary::addBooleanAttribute(const std::optional<plist::Value>& value,
                                                 const std::optional<std::string>& key) {
    if (!value || !key) return;
    const std::string cutKey = truncateString(*key);
    const auto truth = truthOf(*value);
    if (!truth) {
        addAttribute(value, cutKey);  // refused there, with its message
        return;
    }
    addAttribute(plist::Value(std::string(*truth ? "true" : "false")), cutKey);
}

void PLRAttributeDictionary::addPriceAttribute(const std::optional<Decimal>& price,
                                               const std::optional<std::string>& key) {
    if (!price || !key) return;
    const std::string cutKey = truncateString(*key);
    static const Decimal kMaxPrice = Decimal::largest().scaledByPowerOf10(-6);
    if (*price > kMaxPrice) {
        Log::system(
            "[Plurio] Maximum value for a price attribute exceeded. Ignoring price attribute "
            "with value: " +
            price->toString());
        return;
    }
    const Decimal micros = price->scaledByPowerOf10(6);
    if (const auto whole = micros.toInt64())
        addAttribute(plist::Value(*whole), cutKey);
    else
        addAttribute(plist::Value(micros.toDouble()), cutKey);
}

nlohmann::ordered_json PLRAttributeDictionary::json() const {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    for (const auto& [key, value] : raw_) {
        if (const auto* s = value.get<std::string>())
            out[key] = *s;
        else if (const auto* i = value.get<int64_t>())
            out[key] = *i;
        else if (const auto* d = value.get<double>())
            out[key] = *d;
        else if (const auto* b = value.get<bool>())
            out[key] = *b;
    }
    return out;
}

std::string PLRAttributeDictionary::description() const { return describe(plist::Value(raw_)); }

}  // namespace wv
