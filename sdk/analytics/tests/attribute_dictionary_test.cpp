#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/foundation/Log.h"
#include "sdk/analytics/PLRAttributeDictionary.h"

namespace wv {
namespace {

const char* kTooMany = "[Plurio] Maximum number of Event attributes exceeded. Ignoring entry ";
const std::string kCut =
    "[Plurio] Maximum length for an Event attributes exceeded. Truncating to 100 characters.";

plist::Dictionary entries(int count) {
    plist::Dictionary d;
    for (int i = 0; i < count; ++i) d.set("k" + std::to_string(i), plist::Value(int64_t(i)));
    return d;
}

size_t countStartingWith(const LogCapture& log, const std::string& prefix) {
    size_t n = 0;
    for (const auto& line : log.lines(LogChannel::System)) n += line.rfind(prefix, 0) == 0;
    return n;
}

TEST(PLRAttributeDictionary, KeepsTheFirst21EntriesInOrder) {
    LogCapture log;
    PLRAttributeDictionary attributes(entries(25));
    const auto& raw = attributes.dictionaryRepresentation();
    ASSERT_EQ(raw.size(), 21u);
    int i = 0;
    for (const auto& [key, value] : raw) EXPECT_EQ(key, "k" + std::to_string(i++));
    EXPECT_EQ(countStartingWith(log, kTooMany), 4u);
    EXPECT_TRUE(log.contains(std::string(kTooMany) + "k21:21"));
}

TEST(PLRAttributeDictionary, AFullDictionaryRefusesEvenAKeyItHolds) {
    LogCapture log;
    PLRAttributeDictionary attributes(entries(21));
    attributes.addAttribute(plist::Value("new"), "k0");
    EXPECT_EQ(*attributes.dictionaryRepresentation().find("k0"), plist::Value(int64_t(0)));
    // The entry limit is checked before the kind: a refused kind still reports the limit.
    attributes.addAttribute(plist::Value(plist::Array{}), "x");
    EXPECT_EQ(countStartingWith(log, kTooMany), 2u);
}

TEST(PLRAttributeDictionary, CutsKeysAndTextAtOneHundredUnits) {
    struct Case {
        std::string key;
        std::string value;
        std::string storedKey;
        std::string storedValue;
        size_t messages;
    };
    const std::string a100(100, 'a'), a99(99, 'a');
    const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
    const Case cases[] = {
        {"k", a100, "k", a100, 0},
        {"k", a100 + "b", "k", a100, 1},
        {std::string(150, 'k'), "v", std::string(100, 'k'), "v", 1},
        {std::string(150, 'k'), a100 + "zz", std::string(100, 'k'), a100, 2},
        // A pair that would straddle the cut goes as a whole.
        {"k", a99 + emoji, "k", a99, 1},
        {"k", std::string(98, 'a') + emoji + "b", "k", std::string(98, 'a') + emoji, 1},
        // 100 characters of two bytes each are 100 units: not cut.
        {"k",
         [] {
             std::string s;
             for (int i = 0; i < 100; ++i) s += "\xC3\xA9";
             return s;
         }(),
         "k",
         [] {
             std::string s;
             for (int i = 0; i < 100; ++i) s += "\xC3\xA9";
             return s;
         }(),
         0},
        // Invalid UTF-8 is replaced, not dropped.
        {"bad\xFFkey", "v\xC3", "bad\xEF\xBF\xBDkey", "v\xEF\xBF\xBD", 0},
        {"tab\tkey", "line\nbreak", "tab\tkey", "line\nbreak", 0},
    };
    for (const auto& c : cases) {
        LogCapture log;
        PLRAttributeDictionary attributes;
        attributes.addAttribute(plist::Value(c.value), c.key);
        const auto& raw = attributes.dictionaryRepresentation();
        ASSERT_EQ(raw.size(), 1u) << c.value;
        EXPECT_EQ(raw.begin()->first, c.storedKey);
        EXPECT_EQ(raw.begin()->second, plist::Value(c.storedValue));
        EXPECT_EQ(log.count(kCut), c.messages) << c.key.size() << " " << c.value.size();
        EXPECT_NO_THROW(attributes.json().dump());
    }
}

TEST(PLRAttributeDictionary, KeysEqualInTheirFirstHundredUnitsBecomeOne) {
    LogCapture log;
    PLRAttributeDictionary attributes;
    attributes.addAttribute(plist::Value("first"), std::string(100, 'k') + "1");
    attributes.addAttribute(plist::Value("second"), std::string(100, 'k') + "2");
    ASSERT_EQ(attributes.dictionaryRepresentation().size(), 1u);
    EXPECT_EQ(attributes.dictionaryRepresentation().begin()->second, plist::Value("second"));
}

TEST(PLRAttributeDictionary, MegabyteKeysAndValuesAreCutAndEncode) {
    LogCapture log;
    PLRAttributeDictionary attributes;
    attributes.addAttribute(plist::Value(std::string(1 << 20, '\xFF')), std::string(1 << 20, 'k'));
    ASSERT_EQ(attributes.dictionaryRepresentation().size(), 1u);
    const auto json = attributes.json();
    EXPECT_EQ(json.begin().key(), std::string(100, 'k'));
    std::string replaced;
    for (int i = 0; i < 100; ++i) replaced += "\xEF\xBF\xBD";
    EXPECT_EQ(json.begin().value(), replaced);
    EXPECT_EQ(log.count(kCut), 2u);
}

TEST(PLRAttributeDictionary, OnlyTextAndNumbersPass) {
    const std::string refused =
        "[Plurio] Event attribute values must be of type NSString or NSNumber. Ignoring entry ";
    struct Case {
        plist::Value value;
        bool stored;
        std::string shown;
    };
    plist::Dictionary inner;
    inner.set("a", plist::Value(int64_t(1)));
    const Case cases[] = {
        {plist::Value("text"), true, ""},
        {plist::Value(int64_t(-5)), true, ""},
        {plist::Value(2.5), true, ""},
        {plist::Value(true), true, ""},
        {plist::Value(plist::Data{0xde, 0xad}), false, "k:<dead>"},
        {plist::Value(plist::Date(std::chrono::seconds(7))), false, "k:7"},
        {plist::Value(plist::Array{plist::Value("x")}), false, "k:(\n    x\n)"},
        {plist::Value(inner), false, "k:{\n    a = 1;\n}"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        PLRAttributeDictionary attributes;
        attributes.addAttribute(c.value, "k");
        EXPECT_EQ(attributes.dictionaryRepresentation().size(), c.stored ? 1u : 0u) << c.shown;
        if (c.stored)
            EXPECT_EQ(*attributes.dictionaryRepresentation().find("k"), c.value);
        else
            EXPECT_TRUE(log.contains(refused + c.shown)) << c.shown;
    }
}

TEST(PLRAttributeDictionary, MissingKeysAndValuesAreSkippedSilently) {
    LogCapture log;
    PLRAttributeDictionary attributes;
    attributes.addAttribute(std::nullopt, "k");
    attributes.addAttribute(plist::Value("v"), std::nullopt);
    attributes.addBooleanAttribute(std::nullopt, "b");
    attributes.addPriceAttribute(std::nullopt, "p");
    EXPECT_TRUE(attributes.dictionaryRepresentation().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST(PLRAttributeDictionary, NotANumberAndInfinitiesRemoveAnEarlierEntry) {
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        PLRAttributeDictionary attributes;
        attributes.addAttribute(plist::Value(int64_t(3)), "k");
        attributes.addAttribute(plist::Value("keep"), "other");
        attributes.addAttribute(plist::Value(bad), "k");
        EXPECT_FALSE(attributes.dictionaryRepresentation().contains("k")) << bad;
        EXPECT_TRUE(attributes.dictionaryRepresentation().contains("other"));
    }
}

TEST(PLRAttributeDictionary, BooleansBecomeText) {
    struct Case {
        plist::Value value;
        const char* stored;
    };
    const Case cases[] = {
        {plist::Value(int64_t(0)), "false"}, {plist::Value(int64_t(7)), "true"},
        {plist::Value(-0.5), "true"},        {plist::Value(0.0), "false"},
        {plist::Value(true), "true"},        {plist::Value(false), "false"},
        {plist::Value("yes"), "true"},       {plist::Value("0"), "false"},
    };
    for (const auto& c : cases) {
        PLRAttributeDictionary attributes;
        attributes.addBooleanAttribute(c.value, "success");
        const auto* stored = attributes.dictionaryRepresentation().find("success");
        ASSERT_NE(stored, nullptr) << c.stored;
        EXPECT_EQ(*stored, plist::Value(c.stored));
    }
}

TEST(PLRAttributeDictionary, PricesAreStoredInMillionths) {
    const std::string tooBig =
        "[Plurio] Maximum value for a price attribute exceeded. Ignoring price attribute with "
        "value: ";
    const Decimal maxPrice = Decimal::largest().scaledByPowerOf10(-6);
    const Decimal aboveMax = Decimal::fromString("1E159");
    ASSERT_GT(aboveMax, maxPrice);
    struct Case {
        Decimal price;
        std::string json;  // "" when nothing is stored
        bool message;
    };
    const Case cases[] = {
        {Decimal::fromString("9.99"), "9990000", false},
        {Decimal::fromString("-2.5"), "-2500000", false},
        {Decimal::fromString("0.0000001"), "0.1", false},
        {maxPrice, "1e+165", false},
        {aboveMax, "", true},
    };
    for (const auto& c : cases) {
        LogCapture log;
        PLRAttributeDictionary attributes;
        attributes.addPriceAttribute(c.price, "item_price");
        const auto json = attributes.json();
        if (c.json.empty()) {
            EXPECT_TRUE(json.empty()) << c.price.toString();
        } else {
            ASSERT_TRUE(json.contains("item_price")) << c.price.toString();
            EXPECT_EQ(json["item_price"].dump(), c.json);
        }
        EXPECT_EQ(log.contains(tooBig + c.price.toString()), c.message) << c.price.toString();
    }
    // A not-a-number price takes away what the key held, without a message.
    LogCapture log;
    PLRAttributeDictionary attributes;
    attributes.addPriceAttribute(Decimal::fromString("1"), "item_price");
    attributes.addPriceAttribute(Decimal::notANumber(), "item_price");
    EXPECT_TRUE(attributes.dictionaryRepresentation().empty());
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace wv
