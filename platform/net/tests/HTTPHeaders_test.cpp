#include "platform/net/HTTPHeaders.h"

#include <gtest/gtest.h>

namespace wv::net {
namespace {

TEST(HTTPHeaders, NamesMatchWhateverTheirCase) {
    HTTPHeaders h;
    h.set("Content-Type", "text/plain");
    EXPECT_EQ(h.value("content-type"), "text/plain");
    EXPECT_EQ(h.value("CONTENT-TYPE"), "text/plain");
    h.set("CONTENT-TYPE", "application/json");
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h.fields()[0].first, "Content-Type");  // the first spelling stays
    EXPECT_EQ(h.fields()[0].second, "application/json");
    EXPECT_FALSE(h.value("Content-Length").has_value());
}

TEST(HTTPHeaders, AddJoinsRepeatedFieldsAndRemoveTakesEverySpelling) {
    HTTPHeaders h{{"Accept", "a/b"}, {"X-One", "1"}};
    h.add("accept", "c/d");
    EXPECT_EQ(h.value("Accept"), "a/b, c/d");
    h.remove("ACCEPT");
    EXPECT_FALSE(h.contains("Accept"));
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h.fields()[0].first, "X-One");
}

}  // namespace
}  // namespace wv::net
