#pragma once

#include <cstdint>

#include "platform/rx/BehaviorSubject.h"
#include "platform/rx/DisposeBag.h"

namespace wv {

// The typing screen's view of the modifier keys: the latest modifier flags (macOS bits with
// their device-dependent low bits) decoded into one Boolean per key the keyboard can light.
// The decoder subscribes first, so every later subscriber reads fields that already match
// the value it receives.
class WVMainViewModel {
public:
    WVMainViewModel();
    WVMainViewModel(const WVMainViewModel&) = delete;
    WVMainViewModel& operator=(const WVMainViewModel&) = delete;

    rx::DisposeBag bag;
    rx::BehaviorSubject<std::uint64_t> modifierFlagsChanged{0};
    bool isCapsOn = false;
    bool isShiftL = false;
    bool isShiftR = false;
    bool isCmdL = false;  // device bit 0x10: the right Command key (54)
    bool isCmdR = false;  // device bit 0x8: the left Command key (55)
    bool isOptionR = false;
    bool isOptionL = false;
    bool isControl = false;

private:
    void decode(std::uint64_t flags);
};

}  // namespace wv
