#include "sdk/core/TRNURLBuilder.h"

#include <gtest/gtest.h>

namespace wv {
namespace {

TEST(TRNURLBuilder, ComponentsAndParametersInOrderWithANullValueLeftOut) {
    auto b = TRNURLBuilder::URLWithBase("https://h.example");
    b.appendComponent("/a");
    b.appendValue(int64_t{1}, "x");
    b.appendValue(std::nullopt, "skipped");
    b.appendValue(std::string("b c"), "y");
    EXPECT_EQ(b.URLString(), "https://h.example/a?x=1&y=b%20c");
    EXPECT_EQ(b.queryParams(), 2u);
    EXPECT_EQ(b.URL(), "https://h.example/a?x=1&y=b%20c");
}

TEST(TRNURLBuilder, QueryValuesCannotSmuggleParametersOrAFragment) {
    struct Case {
        std::string value;
        std::string escaped;
    };
    for (const auto& c : std::vector<Case>{{"a&admin=1", "a%26admin%3D1"},
                                           {"1+1", "1%2B1"},
                                           {"x#frag", "x%23frag"},
                                           {"über/ok?", "%C3%BCber%2Fok%3F"},
                                           {"-._~AZaz09", "-._~AZaz09"}}) {
        auto b = TRNURLBuilder::URLWithBase("http://h");
        b.appendValue(c.value, "v");
        EXPECT_EQ(b.URLString(), "http://h?v=" + c.escaped) << c.value;
    }
}

TEST(TRNURLBuilder, EscapeStringKeepsTheUrlDelimitersAndEscapesWhatAUrlCannotHold) {
    struct Case {
        std::string in;
        std::string out;
    };
    for (const auto& c : std::vector<Case>{{"a&b=c", "a&b=c"},
                                           {"/p?q:r+s", "/p?q:r+s"},
                                           {"a b", "a%20b"},
                                           {"\"<>{}|\\^[]`", "%22%3C%3E%7B%7D%7C%5C%5E%5B%5D%60"},
                                           {"é", "%C3%A9"},
                                           {"tab\there", "tab%09here"},
                                           {"com.wovanu.typing", "com.wovanu.typing"}}) {
        EXPECT_EQ(TRNURLBuilder::escapeString(c.in), c.out) << c.in;
    }
    auto b = TRNURLBuilder::URLWithBase("https://h");
    b.escapeAndAppendComponent("/apps/a b");
    EXPECT_EQ(b.URLString(), "https://h/apps/a%20b");
}

TEST(TRNURLBuilder, AStringAStrictParserRefusesGivesNoURL) {
    for (const std::string bad : {"", "no scheme", "http://a b/", "https://"}) {
        auto b = TRNURLBuilder::URLWithBase(bad);
        EXPECT_FALSE(b.URL().has_value()) << bad;
    }
}

}  // namespace
}  // namespace wv
