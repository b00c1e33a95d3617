#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/WVMainViewModel.h"

namespace wv {
namespace {

struct Lit {
    bool caps, shiftL, shiftR, cmdL, cmdR, optionL, optionR, control;
    bool operator==(const Lit&) const = default;
};

Lit lit(const WVMainViewModel& m) {
    return {m.isCapsOn, m.isShiftL, m.isShiftR, m.isCmdL, m.isCmdR, m.isOptionL, m.isOptionR, m.isControl};
}

TEST(WVMainViewModel, EveryFieldIsFalseBeforeAnyEvent) {
    WVMainViewModel model;
    EXPECT_EQ(lit(model), (Lit{}));
}

TEST(WVMainViewModel, EachFlagLightsExactlyItsField) {
    struct Case {
        std::uint64_t flags;
        Lit expected;
    };
    const Case cases[] = {
        {0x10000, {true, false, false, false, false, false, false, false}},
        {0x20002, {false, true, false, false, false, false, false, false}},
        {0x20004, {false, false, true, false, false, false, false, false}},
        {0x20006, {false, true, true, false, false, false, false, false}},
        {0x100010, {false, false, false, true, false, false, false, false}},  // right Command
        {0x100008, {false, false, false, false, true, false, false, false}},  // left Command
        {0x80020, {false, false, false, false, false, true, false, false}},
        {0x80040, {false, false, false, false, false, false, true, false}},
        {0x40000, {false, false, false, false, false, false, false, true}},
        {0x20000, {}},   // Shift without a device bit lights no Shift key
        {0x100000, {}},  // nor Command
        {0x1F007E | 0x10000 | 0x40000,
         {true, true, true, true, true, true, true, true}},
    };
    WVMainViewModel model;
    for (const Case& c : cases) {
        model.modifierFlagsChanged.onNext(c.flags);
        EXPECT_EQ(lit(model), c.expected) << std::hex << c.flags;
    }
}

TEST(WVMainViewModel, ReleasingEveryModifierClearsAllFields) {
    WVMainViewModel model;
    model.modifierFlagsChanged.onNext(0x1F007E | 0x10000 | 0x40000);
    model.modifierFlagsChanged.onNext(0x100);  // a non-modifier bit only
    EXPECT_EQ(lit(model), (Lit{}));
}

TEST(WVMainViewModel, LaterSubscribersSeeFieldsAlreadyDecoded) {
    WVMainViewModel model;
    std::vector<bool> seen;
    rx::DisposeBag bag;
    model.modifierFlagsChanged.subscribe([&](const std::uint64_t&) { seen.push_back(model.isShiftR); }).disposed(bag);
    model.modifierFlagsChanged.onNext(0x20004);
    model.modifierFlagsChanged.onNext(0);
    EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));
}

}  // namespace
}  // namespace wv
