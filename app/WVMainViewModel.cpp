#include "app/WVMainViewModel.h"

namespace wv {

WVMainViewModel::WVMainViewModel() {
    modifierFlagsChanged.subscribe([this](const std::uint64_t& flags) { decode(flags); }).disposed(bag);
}

void WVMainViewModel::decode(std::uint64_t f) {
    isCapsOn = f & 0x10000;
    isShiftL = f & 0x2;
    isShiftR = f & 0x4;
    isCmdL = f & 0x10;
    isCmdR = f & 0x8;
    isOptionL = f & 0x20;
    isOptionR = f & 0x40;
    isControl = f & 0x40000;
}

}  // namespace wv
