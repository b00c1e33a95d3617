#include <gtest/gtest.h>

#include "platform/cloudkit/QueryCursor.h"
#include "platform/cloudkit/ServerChangeToken.h"

namespace wv::ck {
namespace {

TEST(ServerChangeTokenTest, SurvivesItsArchive) {
    const ServerChangeToken token(0x1122334455667788ULL, 3, 12345);
    const auto back = ServerChangeToken::unarchive(token.archive());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, token);
    EXPECT_EQ(ServerChangeToken::fromBytes(token.bytes()), token);
}

// Bytes from outside are taken only when they are a whole token of this format.
TEST(ServerChangeTokenTest, RefusesBytesThatAreNotAToken) {
    const auto good = ServerChangeToken(1, 2, 3).bytes();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
    auto changed = [&](size_t at, uint8_t value) {
        auto b = good;
        b[at] = value;
        return b;
    };
    auto longer = good;
    longer.push_back(0);
    const Case cases[] = {
        {"empty", {}},
        {"magic only", cut(4)},
        {"one byte short", cut(good.size() - 1)},
        {"one byte more", longer},
        {"other magic", changed(0, 'X')},
        {"other version", changed(4, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(ServerChangeToken::fromBytes(c.bytes));
    }
}

TEST(ServerChangeTokenTest, RefusesArchivesOfAnythingElse) {
    const std::string cursorAsArchive = [] {
        plist::Dictionary d;
        d.set("class", plist::Value("QueryCursor"));
        d.set("token", plist::Value(ServerChangeToken(1, 1, 1).bytes()));
        return plist::toXml(plist::Value(d));
    }();
    const std::string notADictionary = plist::toXml(plist::Value(int64_t(5)));
    const std::vector<std::string> archives = {"", "garbage", cursorAsArchive, notADictionary};
    for (const auto& archive : archives) {
        SCOPED_TRACE(archive);
        EXPECT_FALSE(ServerChangeToken::unarchive(plist::Data(archive.begin(), archive.end())));
    }
}

TEST(QueryCursorTest, RoundTripsAndRefusesDamagedBytes) {
    QueryCursor cursor;
    cursor.scope = 99;
    cursor.recordType = "WVLessonStats";
    cursor.order = QueryOrder::Random;
    cursor.seed = 7;
    cursor.snapshot = 400;
    cursor.position = 200;
    const auto bytes = cursor.bytes();
    EXPECT_EQ(QueryCursor::fromBytes(bytes), cursor);
    for (size_t n = 0; n < bytes.size(); ++n) {
        EXPECT_FALSE(QueryCursor::fromBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n)))
            << n << " bytes";
    }
    auto badOrder = bytes;
    badOrder[14] = 3;  // the order byte
    EXPECT_FALSE(QueryCursor::fromBytes(badOrder));
    auto longType = bytes;
    longType[39] = 0xFF;  // a type length past the end
    EXPECT_FALSE(QueryCursor::fromBytes(longType));
}

}  // namespace
}  // namespace wv::ck
