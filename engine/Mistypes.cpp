#include "engine/Mistypes.h"

#include "platform/foundation/Text.h"

namespace wv {

void Mistypes::add(std::string_view pair, int position) {
    pairs += pair;
    pos.push_back(position);
}

int Mistypes::count() const { return int(text::characterCount(pairs) / 2); }

void Mistypes::clear() {
    pairs.clear();
    pos.clear();
}

}  // namespace wv
