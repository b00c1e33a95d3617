#include "platform/foundation/Decimal.h"

#include <gtest/gtest.h>

#include <cmath>

namespace wv {
namespace {

TEST(Decimal, ReadsTextAndWritesItBack) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"9.99", "9.99"},
        {"-0.001", "-0.001"},
        {" +12e3 ", "12000"},
        {"1.5E-2", "0.015"},
        {"000123.4500", "123.45"},
        {"0", "0"},
        {"-0", "0"},
        {".5", "0.5"},
        // 39 significant digits: the last is rounded away, half up.
        {"123456789012345678901234567890123456785", "123456789012345678901234567890123456790"},
        {"99999999999999999999999999999999999999.5", "100000000000000000000000000000000000000"},
        {"abc", "NaN"},
        {"", "NaN"},
        {"9.99abc", "NaN"},
        {"1e", "NaN"},
        {"1e200", "NaN"},
        {"1e-200", "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Decimal::fromString(c.text).toString(), c.shown) << c.text;
}

TEST(Decimal, ExponentLimitsMatchThePlatform) {
    const Decimal largest = Decimal::largest();
    EXPECT_FALSE(largest.isNaN());
    EXPECT_EQ(largest.toString(), "9.9999999999999999999999999999999999999E164");
    EXPECT_EQ(Decimal::fromString("9.9999999999999999999999999999999999999E164"), largest);
    EXPECT_TRUE(largest.scaledByPowerOf10(1).isNaN());
    // A short mantissa can take a larger exponent by moving it into the digits.
    EXPECT_EQ(Decimal::fromString("1e150").toString(), "1E150");
    EXPECT_FALSE(Decimal::fromString("1e150").isNaN());
}

TEST(Decimal, ScalesExactlyByPowersOfTen) {
    struct Case {
        const char* text;
        int power;
        const char* shown;
    };
    const Case cases[] = {
        {"9.99", 6, "9990000"},
        {"0.0000001", 6, "0.1"},
        {"123.456", -2, "1.23456"},
        {"-7", 3, "-7000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Decimal::fromString(c.text).scaledByPowerOf10(c.power).toString(), c.shown)
            << c.text;
    EXPECT_TRUE(Decimal::notANumber().scaledByPowerOf10(6).isNaN());
}

TEST(Decimal, ComparesAcrossScales) {
    struct Case {
        const char* a;
        const char* b;
        int expected;  // sign of a - b
    };
    const Case cases[] = {
        {"9.99", "9.990", 0}, {"10", "9.99", 1},     {"-10", "-9.99", -1}, {"-1", "1", -1},
        {"0", "-0", 0},       {"1e10", "999999", 1}, {"0.1", "0.09", 1},   {"-0.1", "0", -1},
    };
    for (const auto& c : cases) {
        const auto order = Decimal::fromString(c.a) <=> Decimal::fromString(c.b);
        const int sign = order < 0 ? -1 : (order > 0 ? 1 : 0);
        EXPECT_EQ(sign, c.expected) << c.a << " vs " << c.b;
    }
    const Decimal nan = Decimal::notANumber();
    EXPECT_FALSE(nan == nan);
    EXPECT_FALSE(nan > Decimal());
    EXPECT_FALSE(nan < Decimal());
}

TEST(Decimal, IntegersAndDoubles) {
    EXPECT_EQ(Decimal::fromString("9990000").toInt64(), 9990000);
    EXPECT_EQ(Decimal::fromString("-12e3").toInt64(), -12000);
    EXPECT_EQ(Decimal::fromInteger(INT64_MIN).toInt64(), INT64_MIN);
    EXPECT_EQ(Decimal::fromInteger(INT64_MAX).toInt64(), INT64_MAX);
    EXPECT_FALSE(Decimal::fromString("9223372036854775808").toInt64());
    EXPECT_FALSE(Decimal::fromString("0.5").toInt64());
    EXPECT_FALSE(Decimal::largest().toInt64());
    EXPECT_DOUBLE_EQ(Decimal::fromString("0.1").toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(Decimal::fromString("9.99").scaledByPowerOf10(-6).toDouble(), 9.99e-6);
    EXPECT_TRUE(std::isnan(Decimal::notANumber().toDouble()));
}

}  // namespace
}  // namespace wv
