#include <gtest/gtest.h>

#include "storage/DictionaryUtils.h"

namespace wv {
namespace {

TEST(DictionaryUtils, TypedReadsFallBackOnMissingOrForeignValues) {
    plist::Dictionary d;
    d.set("int", 3);
    d.set("real", 4.9);
    d.set("yes", true);
    d.set("text", "5");
    d.set("zero", 0);
    struct Case {
        const char* key;
        int64_t asInt;
        bool asBool;
    } cases[] = {
        {"int", 3, true}, {"real", 4, true}, {"yes", 1, true},
        {"text", 7, false}, {"missing", 7, false}, {"zero", 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(intForKey(d, c.key, 7), c.asInt) << c.key;
        EXPECT_EQ(boolForKey(d, c.key, false), c.asBool) << c.key;
    }
    EXPECT_TRUE(boolForKey(d, "text", true));
}

}  // namespace
}  // namespace wv
