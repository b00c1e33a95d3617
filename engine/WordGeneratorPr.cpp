#include "engine/WordGeneratorPr.h"

namespace wv {

const std::vector<int>& WordGeneratorPr::lengthWeightsLevel0() const {
    static const std::vector<int> weights{6353, 2413, 676, 445, 82, 10, 20, 10, 0, 0};
    return weights;
}

const std::vector<int>& WordGeneratorPr::lengthWeightsLevel1() const {
    static const std::vector<int> weights{1949, 2974, 1509, 982, 1136, 468, 349, 261, 187, 74};
    return weights;
}

const std::vector<int>& WordGeneratorPr::lengthWeightsLevel2() const {
    static const std::vector<int> weights{1130, 1741, 1692, 1208, 1345, 932, 667, 556, 341, 178};
    return weights;
}

const std::vector<int>& WordGeneratorPr::lengthWeightsLevel3() const {
    static const std::vector<int> weights{944, 1485, 1779, 1193, 1552, 959, 695, 566, 369, 225};
    return weights;
}

const std::vector<int>& WordGeneratorPr::lengthWeightsLevel4() const {
    static const std::vector<int> weights{945, 1404, 1682, 1213, 1522, 1007, 747, 597, 386, 244};
    return weights;
}

const std::vector<int>& WordGeneratorPr::lengthWeightsLevel5() const {
    static const std::vector<int> weights{946, 1390, 1663, 1191, 1521, 1009, 766, 620, 388, 250};
    return weights;
}

}  // namespace wv
