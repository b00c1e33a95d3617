#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/foundation/Decimal.h"
#include "platform/plist/Value.h"

namespace wv {

// The one gate every event attribute passes: at most 21 entries, keys and text values cut to
// 100 UTF-16 units, only text and numbers (integers, reals, booleans), booleans as "true" /
// "false" and prices in millionths. Every refusal prints its message to the system log,
// whatever the debug switch; a missing key or value is skipped silently.
//
// Text is repaired at the gate (invalid UTF-8 becomes U+FFFD) and never cut inside a
// surrogate pair, so whatever passes encodes as JSON. Entries keep the order they were
// added in.
class PLRAttributeDictionary {
  public:
    static constexpr size_t kMaxEntries = 21;
    static constexpr size_t kMaxLength = 100;

    PLRAttributeDictionary() = default;
    // Adds every entry in the dictionary's order.
    explicit PLRAttributeDictionary(const std::optional<plist::Dictionary>& dictionary);

    void addAttribute(const std::optional<plist::Value>& value,
                      const std::optional<std::string>& key);
    // Stores "true" when the value reads as true (a non-zero number, or text the platform reads
    // as true), else "false".
    void addBooleanAttribute(const std::optional<plist::Value>& value,
                             const std::optional<std::string>& key);
    // Stores the price times 1,000,000: an integer when whole, else the nearest real. A price
    // above the largest decimal divided by 1,000,000 is refused; not-a-number removes the key.
    void addPriceAttribute(const std::optional<Decimal>& price,
                           const std::optional<std::string>& key);

    const plist::Dictionary& dictionaryRepresentation() const { return raw_; }
    nlohmann::ordered_json json() const;
    std::string description() const;

    // The cut applied to keys and text values (with its message when it cuts).
    static std::string truncateString(const std::string& text);
    // A value as the messages show it.
    static std::string describe(const plist::Value& value);

  private:
    plist::Dictionary raw_;
};

}  // namespace wv
