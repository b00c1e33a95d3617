#include "engine/WordGeneratorRu.h"

namespace wv {

const std::vector<int>& WordGeneratorRu::lengthWeightsLevel0() const {
    static const std::vector<int> weights{5, 6, 4, 14, 1};
    return weights;
}

const std::vector<int>& WordGeneratorRu::lengthWeightsLevel5() const {
    static const std::vector<int> weights{1054, 1140, 1126, 915, 1198, 1173, 1034, 774, 598, 408};
    return weights;
}

std::optional<std::string> WordGeneratorRu::word(int length, int level,
                                                 const std::optional<std::string>& priority,
                                                 Lookup lookup) {
    auto w = getWordWithSymbols(length, level, priority, lookup);
    if (!w) return w;
    static const std::string yo = "\u0451";
    static const std::string ye = "\u0435";
    for (size_t at = w->find(yo); at != std::string::npos; at = w->find(yo, at + ye.size())) {
        w->replace(at, yo.size(), ye);
    }
    return w;
}

}  // namespace wv
