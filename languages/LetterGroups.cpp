#include "languages/LetterGroups.h"

#include <array>

namespace wv {

namespace {

using Groups = std::vector<std::string>;

// Indexed by raw value. The Ukrainian apostrophe is U+2019, the others are U+0027.
const std::array<Groups, 10>& table() {
    static const std::array<Groups, 10> groups = {{
        /* en */ {"etao", "nihsr", "dlum", "wcgf", "ypbvk", "'jxqz"},
        /* ua */ {"оаинв", "іетрс", "лукмд", "пязбгь", "чйхжюш", "цщїєф\u2019"},
        /* ru */ {"оеаин", "тслрв", "кмпду", "яыьбгз", "чйжхшю", "цщэфъ"},
        /* de */ {"enirs", "thadu", "lcgmo", "bwfkz", "vüpäö", "jy'qx"},
        /* es */ {"eaors", "nldiu", "tcmpb", "hyqgv", "fjzñ", "xwk'"},
        /* fr */ {"esatn", "iruol", "dcmpv", "éfghqb", "àjxyêzw'", "çkâôîùû"},
        /* gr */ {"τοανι", "ηυςκ", "εσμ", "πωδ", "γθρλ", "χφβξζ"},
        /* tr */ {"aeinrl", "dıkm", "tuysb", "oüşz", "ghvç", "ğcöpfj"},
        /* it */ {"aeion", "rltsc", "dumpv", "ghbfz", "q'èòùéì", "ykwjx"},
        /* pr */ {"aeosri", "ndumtc", "lpvhgq", "bfãyzá", "éçxjêí", "ówúàkôõâ"},
    }};
    return groups;
}

}  // namespace

const std::vector<std::string>& letterGroups(Language language) {
    int raw = rawValue(language);
    if (raw < 0 || raw >= int(table().size())) return table()[0];
    return table()[size_t(raw)];
}

}  // namespace wv
