#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "languages/Language.h"

namespace wv {

// A counting map of mistyped characters (whole user-perceived characters). The generator
// practises the most frequent one and lowers the count of every letter it places, so the
// map only shrinks; a character leaves it when its count reaches 0.
class MistypesInfo {
  public:
    // Counts every character of `list` once; prints the resulting map.
    MistypesInfo(Language lang, std::string list);
    MistypesInfo(const MistypesInfo&) = default;
    MistypesInfo& operator=(const MistypesInfo&) = default;
    virtual ~MistypesInfo() = default;

    Language lang() const { return lang_; }
    const std::string& list() const { return list_; }
    // The pending counts, each at least 1, in the order the characters first appeared.
    const std::vector<std::pair<std::string, int64_t>>& dic() const { return dic_; }
    int64_t count(std::string_view character) const;

    // The character with the highest count; the first met wins a tie; none when empty.
    virtual std::optional<std::string> mostFrequentCharacter() const;
    // Lowers the count of `character` by one; false when it has no count.
    bool inject(std::string_view character);
    // inject() for every character of the word in order; how many of them had a count.
    int injectWord(std::string_view word);

    // The map as the console shows it: ["a": 2, "b": 1], or [:] when empty.
    std::string description() const;

  private:
    Language lang_;
    std::vector<std::pair<std::string, int64_t>> dic_;
    std::string list_;
};

}  // namespace wv
