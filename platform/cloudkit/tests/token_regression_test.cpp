// Inputs the fuzzer of token and cursor bytes kept (its seeds and every crasher it found),
// replayed on every run: none may crash, and whatever decodes must encode to the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/cloudkit/QueryCursor.h"
#include "platform/cloudkit/ServerChangeToken.h"

namespace wv::ck {
namespace {

TEST(TokenRegressionTest, KeptInputsDecodeSafely) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(WOVANU_TOKEN_REGRESSIONS)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        ++files;
        if (auto token = ServerChangeToken::fromBytes(bytes)) {
            EXPECT_EQ(token->bytes(), bytes);
            EXPECT_EQ(ServerChangeToken::unarchive(token->archive()), token);
        }
        if (auto cursor = QueryCursor::fromBytes(bytes)) EXPECT_EQ(cursor->bytes(), bytes);
        const auto archived = ServerChangeToken::unarchive(plist::Data(bytes.begin(), bytes.end()));
        if (entry.path().filename() == "seed-archive") EXPECT_TRUE(archived);
        if (entry.path().filename() == "archive-with-nul-in-string") EXPECT_FALSE(archived);
    }
    EXPECT_GE(files, 4u) << "the kept inputs are missing";
}

}  // namespace
}  // namespace wv::ck
