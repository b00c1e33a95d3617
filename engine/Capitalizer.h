#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace wv {

class KeyMapBase;

// Turns the initial of an exercise word into a capital the way the learner's language does
// ("tr": "i" -> "İ"), and only when the current layout can type that capital; otherwise the
// word stays as it is, since the learner could not type it.
class Capitalizer {
  public:
    // Answers whether a key (or dead-key sequence) of the current layout types the text.
    using CanType = std::function<bool(std::string_view)>;

    // The locale-independent mapping; every capital counts as typeable.
    Capitalizer() = default;
    // `locale` is an ICU locale id such as "tr" or "de"; an empty `canType` accepts every capital.
    Capitalizer(std::string locale, CanType canType);
    // The case rules of the key map's language, and a capital counts as typeable when some key
    // of the map's current layout (at the time of rendering) types it with or without Shift,
    // Caps Lock or Option, or when the layout's dead-key table has it. Keeps a reference: the
    // key map must outlive the capitalizer.
    static Capitalizer forKeyMap(const KeyMapBase& keys);

    // `word` with its first user-perceived character upper-cased (possibly into several
    // characters, as "ß" can be), or `word` unchanged when the capital cannot be typed.
    std::string capitalize(std::string_view word) const;

  private:
    std::string locale_;
    CanType canType_;
    bool asciiFollowsRootRules_ = true;
};

}  // namespace wv
