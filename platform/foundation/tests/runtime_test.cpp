#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

namespace wv {
namespace {

TEST(BoolValue, ReadsTheTextAsThePlatformDoes) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", false},    {"0", false},     {"no", false},  {"NO", false},  {"false", false},
        {"-0", false},  {"000", false},   {"  ", false},  {"x1", false},  {"+", false},
        {"1", true},    {"9", true},      {"yes", true},  {"Y", true},    {"true", true},
        {"T", true},    {"  true", true}, {"+007", true}, {"-5", true},   {"\t\ny", true},
        {"0x1", false}, {"00t", true},    {"1abc", true}, {"- 1", false}, {"++1", false},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(text::boolValue(input), expected) << '"' << input << '"';
    }
}

TEST(Error, DescriptionPrefersTheReadableText) {
    Error plain{"TRNNetworkError", -3, {}};
    EXPECT_EQ(plain.localizedDescription(), "TRNNetworkError error -3");
    Error described{
        "NSCocoaErrorDomain", 4, {{Error::kLocalizedDescriptionKey, std::string("gone")}}};
    EXPECT_EQ(described.description(), "Error Domain=NSCocoaErrorDomain Code=4 \"gone\"");
    // A description of the wrong type is no description.
    Error wrong{"D", 1, {{Error::kLocalizedDescriptionKey, 42}}};
    EXPECT_EQ(wrong.localizedDescription(), "D error 1");
}

TEST(ClassRegistry, ScopedRegistrationsNestAndRestore) {
    auto& registry = ClassRegistry::shared();
    EXPECT_FALSE(registry.isLinked("FakeKit"));
    {
        ScopedClassRegistration outer("FakeKit", 1);
        EXPECT_TRUE(registry.isLinked("FakeKit"));
        {
            ScopedClassRegistration inner("FakeKit", 2);
            EXPECT_EQ(std::any_cast<int>(registry.classNamed("FakeKit")), 2);
        }
        EXPECT_EQ(std::any_cast<int>(registry.classNamed("FakeKit")), 1);
    }
    EXPECT_FALSE(registry.isLinked("FakeKit"));
    EXPECT_FALSE(registry.classNamed("FakeKit").has_value());
}

TEST(ScopedMainBundle, StandsInForTheMainBundleWhileItLives) {
    const auto before = Bundle::main().root();
    {
        ScopedMainBundle outer("/tmp/outer-bundle");
        EXPECT_EQ(Bundle::main().root(), "/tmp/outer-bundle");
        {
            ScopedMainBundle inner("/tmp/inner-bundle");
            EXPECT_EQ(Bundle::main().root(), "/tmp/inner-bundle");
        }
        EXPECT_EQ(Bundle::main().root(), "/tmp/outer-bundle");
    }
    EXPECT_EQ(Bundle::main().root(), before);
    EXPECT_EQ(Bundle::mainExecutablePath().filename(), "wv_platform_foundation_tests");
}

}  // namespace
}  // namespace wv
