#include <gtest/gtest.h>

#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/layouts/KeyMapFr.h"
#include "languages/tests/PrintedRows.h"
#include "platform/keys/ScanCodeMap.h"

namespace wv {
namespace {

// A physical key press, from its scan code to what the current layout types.
std::optional<std::string_view> press(const KeyMapBase& map, int xkb, bool shift = false) {
    auto code = ScanCodeMap::macKeyCode(xkb, map.layoutData().isIsoTable());
    if (!code) return std::nullopt;
    return map.symbolForKeyCode(*code, shift, false, false);
}

TEST(PhysicalKeys, GermanIsoKeyboardTypesItsLegends) {
    // X11 keycodes of the keys left to right, row by row, and their German legends.
    const std::pair<int, const char*> keys[] = {
        {10, "1"}, {20, "ß"}, {21, "\u00B4"}, {24, "q"}, {29, "z"}, {34, "ü"}, {35, "+"},
        {51, "#"}, {38, "a"}, {47, "ö"},      {48, "ä"}, {94, "<"}, {52, "y"}, {61, "-"},
    };
    KeyMapDe map;
    ASSERT_TRUE(map.layoutData().isIsoTable());
    for (auto [xkb, legend] : keys) {
        EXPECT_EQ(printed::codePointsOrNone(press(map, xkb)), printed::codePoints(legend)) << xkb;
    }
    EXPECT_EQ(press(map, 94, true), ">");
    LogCapture log;
    EXPECT_EQ(press(map, 49), std::nullopt);  // "^" left of 1: no entry on these tables
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  "ACHTUNG: can't map symbol for code: 10, shiftOn: false, capsLockOn: false"});
}

TEST(PhysicalKeys, UsKeyboardOnQwertyTypesItsLegends) {
    const std::pair<int, const char*> keys[] = {
        {49, "`"}, {10, "1"}, {21, "="}, {24, "q"}, {51, "\\"},
        {38, "a"}, {48, "'"}, {52, "z"}, {61, "/"}, {65, " "},
    };
    KeyMapEn map;
    ASSERT_FALSE(map.layoutData().isIsoTable());
    for (auto [xkb, legend] : keys) EXPECT_EQ(press(map, xkb), legend) << xkb;
}

TEST(PhysicalKeys, WhichTablesAreIsoDrawn) {
    KeyMapEn en;
    std::vector<std::string> iso;
    for (const auto& layout : en.layouts()) {
        if (layout->isIsoTable()) iso.push_back(layout->name());
    }
    EXPECT_EQ(iso, (std::vector<std::string>{"AZERTY", "QWERTZ", "QWERTZ Swiss", "XVLCWK Neo"}));
    KeyMapFr fr;
    fr.selectLayoutByName("QWERTY Canada");
    EXPECT_FALSE(fr.layoutData().isIsoTable());
    EXPECT_EQ(press(fr, 49), "ù");
}

}  // namespace
}  // namespace wv
