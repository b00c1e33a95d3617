#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace wv {

// The letters that lessons 0 to 5 of a language add, lesson 0 first, each group in
// precomposed form. One table serves the word generators and the build tool that makes the
// word databases, so a lesson never asks for a letter its database was not built with.
using LetterGroupTable = std::array<std::string_view, 6>;

struct LanguageLetterGroups {
    std::string_view caseName;  // the language's case name, as in the database file names
    LetterGroupTable groups;
};

inline constexpr std::array<LanguageLetterGroups, 10> kLetterGroups{{
    {"en", {"etao", "nihsr", "dlum", "wcgf", "ypbvk", "'jxqz"}},
    {"ua", {"оаинв", "іетрс", "лукмд", "пязбгь", "чйхжюш", "цщїєф\u2019"}},
    {"ru", {"оеаин", "тслрв", "кмпду", "яыьбгз", "чйжхшю", "цщэфъ"}},
    {"de", {"enirs", "thadu", "lcgmo", "bwfkz", "vüpäö", "jy'qx"}},
    {"es", {"eaors", "nldiu", "tcmpb", "hyqgv", "fjzñ", "xwk'"}},
    {"fr", {"esatn", "iruol", "dcmpv", "éfghqb", "àjxyêzw'", "çkâôîùû"}},
    {"gr", {"τοανι", "ηυςκ", "εσμ", "πωδ", "γθρλ", "χφβξζ"}},
    {"tr", {"aeinrl", "dıkm", "tuysb", "oüşz", "ghvç", "ğcöpfj"}},
    {"it", {"aeion", "rltsc", "dumpv", "ghbfz", "q'èòùéì", "ykwjx"}},
    {"pr", {"aeosri", "ndumtc", "lpvhgq", "bfãyzá", "éçxjêí", "ówúàkôõâ"}},
}};

// The groups of the language with that case name; none for an unknown name.
constexpr std::optional<LetterGroupTable> letterGroupsOf(std::string_view caseName) {
    for (const auto& language : kLetterGroups) {
        if (language.caseName == caseName) return language.groups;
    }
    return std::nullopt;
}

}  // namespace wv
