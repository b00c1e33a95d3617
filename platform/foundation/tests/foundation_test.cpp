#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <fstream>
#include <stdexcept>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"

namespace wv {
namespace {

TEST(Log, CaptureSeesBothChannelsInOrderAndRestoresTheSink) {
    {
        LogCapture outer;
        {
            LogCapture inner;
            Log::print("one");
            Log::system("ERROR: 1 : two");
            EXPECT_EQ(inner.lines(), (std::vector<std::string>{"one", "ERROR: 1 : two"}));
            EXPECT_EQ(inner.lines(LogChannel::System), std::vector<std::string>{"ERROR: 1 : two"});
        }
        Log::print("three");
        EXPECT_EQ(outer.lines(), std::vector<std::string>{"three"});
    }
}

TEST(ScriptedRandom, HandsOutTheScriptAndChecksEveryBound) {
    ScriptedRandom r{{2, 5}, {0}, {9, 10}};
    EXPECT_EQ(r.uniform(5), 2u);
    EXPECT_EQ(r.uniform(3), 0u);
    EXPECT_EQ(r.uniform(10), 9u);
    EXPECT_EQ(r.boundsAsked(), (std::vector<uint32_t>{5, 3, 10}));
    EXPECT_THROW(r.uniform(4), std::logic_error);  // past the end
}

TEST(ScriptedRandom, RefusesAWrongBoundOrAValueOutOfRange) {
    ScriptedRandom wrongBound{{1, 4}};
    EXPECT_THROW(wrongBound.uniform(5), std::logic_error);
    ScriptedRandom tooLarge{{7}};
    EXPECT_THROW(tooLarge.uniform(7), std::logic_error);
}

TEST(Random, SeededSourcesRepeatAndStayBelowTheBound) {
    SeededRandom a(42), b(42);
    for (int i = 0; i < 200; ++i) {
        uint32_t bound = uint32_t(i % 17) + 1;
        uint32_t x = a.uniform(bound);
        EXPECT_EQ(x, b.uniform(bound));
        EXPECT_LT(x, bound);
    }
    EXPECT_EQ(a.uniform(0), 0u);
    // The system source covers its whole range evenly, block refills included.
    SystemRandom sys;
    std::array<int, 3> counts{};
    for (int i = 0; i < 3000; ++i) {
        const uint32_t x = sys.uniform(3);
        ASSERT_LT(x, 3u);
        ++counts[x];
    }
    for (int c : counts) EXPECT_GT(c, 800);
    EXPECT_EQ(sys.uniform(1), 0u);
}

TEST(Random, ScopedSharedSourceIsUsedAndRestored) {
    {
        ScopedRandomSource scoped(std::make_shared<ConstantRandom>(4));
        EXPECT_EQ(randomUniform(10), 4u);
        EXPECT_EQ(randomUniform(3), 2u);
    }
    ScopedRandomSource script(std::make_shared<ScriptedRandom>(ScriptedRandom::values({1})));
    EXPECT_EQ(randomUniform(2), 1u);
}

TEST(Folders, FollowTheXdgVariablesAndIgnoreRelativeOnes) {
    const std::string savedData = getenv("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", "/x/data", 1);
    EXPECT_EQ(Folders::dataHome(), "/x/data");
    setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(Folders::dataHome(), std::filesystem::path(getenv("HOME")) / ".local/share");
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(Folders::cacheHome(), std::filesystem::path(getenv("HOME")) / ".cache");
    setenv("XDG_DATA_HOME", savedData.c_str(), 1);
}

TEST(Bundle, FindsResourcesByNameAndExtensionOnly) {
    auto root = Folders::dataHome() / "bundle-fixture";
    std::filesystem::create_directories(root / "db");
    std::ofstream(root / "db" / "english_0.db") << "x";
    std::ofstream(root / "Localizations.csv") << "id,en\n";
    Bundle bundle(root);
    EXPECT_EQ(bundle.pathForResource("db/english_0", "db"), root / "db" / "english_0.db");
    EXPECT_EQ(bundle.pathForResource("Localizations", "csv"), root / "Localizations.csv");
    EXPECT_FALSE(bundle.pathForResource("Localizations", "plist"));
    EXPECT_FALSE(bundle.pathForResource("db", ""));  // a folder is not a resource
    EXPECT_EQ(bundle.identifier(), "com.wovanu.typing");
}

TEST(Bundle, TheBuiltBundleCarriesItsInformationList) {
    auto info = Bundle::main().pathForResource("Info", "plist");
    ASSERT_TRUE(info);
    std::ifstream in(*info);
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(xml.find("<string>com.wovanu.typing</string>"), std::string::npos);
    EXPECT_NE(xml.find("<string>" + Bundle::main().shortVersion() + "</string>"), std::string::npos);
}

TEST(Text, CountsUserPerceivedCharacters) {
    EXPECT_EQ(text::characterCount(""), 0u);
    EXPECT_EQ(text::characterCount("abc"), 3u);
    EXPECT_EQ(text::characterCount("e\xCC\x81" "a"), 2u);   // e + combining acute, a
    EXPECT_EQ(text::characterCount("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"), 1u);  // a flag
    EXPECT_EQ(text::characters("ñá"), (std::vector<std::string>{"ñ", "á"}));
}

TEST(Text, SplitsIntoCharactersTheSameWhateverCameBefore) {
    struct Case {
        const char* in;
        std::vector<std::string> out;
    } cases[] = {
        {"a\r\nb", {"a", "\r\n", "b"}},
        {"\n\r", {"\n", "\r"}},
        {"e\xCC\x81x", {"e\xCC\x81", "x"}},
        {"go!", {"g", "o", "!"}},
        {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\r\n", {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", "\r\n"}},
        {"ñ", {"ñ"}},
    };
    // Twice through, so that each text also follows a longer one with other rules at work.
    for (int round = 0; round < 2; ++round)
        for (const auto& c : cases) EXPECT_EQ(text::characters(c.in), c.out) << c.in;
}

TEST(Text, CaseMappingFollowsTheLanguage) {
    struct Case {
        const char* in;
        const char* locale;
        const char* upper;
    } cases[] = {
        {"istanbul", "tr", "İSTANBUL"},
        {"istanbul", "tr_TR", "İSTANBUL"},
        {"istanbul", "AZ-Latn", "İSTANBUL"},
        {"istanbul", "trk", "ISTANBUL"},
        {"istanbul", "", "ISTANBUL"},
        {"Mix 42-b", "de", "MIX 42-B"},
        {"ωμέγα", "", "ΩΜΈΓΑ"},
        {"привет", "", "ПРИВЕТ"},
    };
    for (const auto& c : cases) EXPECT_EQ(text::upper(c.in, c.locale), c.upper) << c.in;
    EXPECT_EQ(text::lower("I", "tr"), "ı");
    EXPECT_EQ(text::lower("IZ", "az_AZ"), "ız");
    EXPECT_EQ(text::lower("Mix 42-B", "en"), "mix 42-b");
    EXPECT_EQ(text::nfc("plain"), "plain");
    EXPECT_EQ(text::nfc("e\xCC\x81"), "é");
    EXPECT_EQ(text::toUtf8(text::toUtf32("añ€😀")), "añ€😀");
}

}  // namespace
}  // namespace wv
