#include <gtest/gtest.h>

#include "platform/keys/MacKeyCodes.h"
#include "platform/keys/ModifierState.h"
#include "platform/keys/ScanCodeMap.h"

namespace wv {
namespace {

using namespace modifiers;

TEST(ModifierState, EachKeySetsItsModifierAndDeviceBit) {
    const std::pair<int, uint64_t> table[] = {
        {keys::kShift, kShift | kLeftShiftDevice},
        {keys::kRightShift, kShift | kRightShiftDevice},
        {keys::kControl, kControl | kLeftControlDevice},
        {keys::kRightControl, kControl | kRightControlDevice},
        {keys::kOption, kOption | kLeftOptionDevice},
        {keys::kRightOption, kOption | kRightOptionDevice},
        {keys::kCommand, kCommand | kLeftCommandDevice},
        {keys::kRightCommand, kCommand | kRightCommandDevice},
    };
    for (auto [key, flags] : table) {
        ModifierState state;
        EXPECT_TRUE(state.update(key, true));
        EXPECT_EQ(state.flags(), flags) << key;
        EXPECT_TRUE(state.update(key, false));
        EXPECT_EQ(state.flags(), 0u) << key;
    }
}

TEST(ModifierState, AModifierStaysOnWhileEitherSideIsDown) {
    ModifierState state;
    state.update(keys::kShift, true);
    state.update(keys::kRightShift, true);
    state.update(keys::kShift, false);
    EXPECT_TRUE(state.shift());
    EXPECT_EQ(state.flags(), kShift | kRightShiftDevice);
    state.update(keys::kRightShift, false);
    EXPECT_FALSE(state.shift());
}

TEST(ModifierState, PhysicalCtrlIsCommandAndSuperIsControl) {
    ModifierState state;
    state.update(*ScanCodeMap::macKeyCode(37), true);  // left Ctrl
    EXPECT_TRUE(state.command());
    EXPECT_FALSE(state.control());
    state.update(*ScanCodeMap::macKeyCode(37), false);
    state.update(*ScanCodeMap::macKeyCode(133), true);  // left Super
    EXPECT_TRUE(state.control());
    EXPECT_FALSE(state.command());
    state.update(*ScanCodeMap::macKeyCode(108), true);  // AltGr
    EXPECT_TRUE(state.option());
    EXPECT_EQ(state.flags(), kControl | kLeftControlDevice | kOption | kRightOptionDevice);
}

TEST(ModifierState, CapsLockIsTheLockStateAndOtherKeysAreNotTracked) {
    ModifierState state;
    EXPECT_FALSE(state.update(keys::kCapsLock, true));
    EXPECT_FALSE(state.capsLock());
    EXPECT_FALSE(state.update(0, true));
    EXPECT_FALSE(state.update(keys::kSpace, true));
    EXPECT_EQ(state.flags(), 0u);
    state.setCapsLock(true);
    EXPECT_EQ(state.flags(), kCapsLock);
    state.update(keys::kShift, true);
    state.releaseAll();
    EXPECT_EQ(state.flags(), kCapsLock);
}

}  // namespace
}  // namespace wv
