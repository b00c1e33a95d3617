#include "engine/WordGeneratorTr.h"

namespace wv {

const std::vector<int>& WordGeneratorTr::lengthWeightsLevel0() const {
    static const std::vector<int> weights{1159, 3794, 3316, 609, 635, 171, 102, 147, 46, 10};
    return weights;
}

const std::vector<int>& WordGeneratorTr::lengthWeightsLevel1() const {
    static const std::vector<int> weights{321, 2537, 1728, 1368, 1607, 828, 593, 415, 227, 177};
    return weights;
}

const std::vector<int>& WordGeneratorTr::lengthWeightsLevel2() const {
    static const std::vector<int> weights{184, 1297, 1822, 1328, 1461, 1075, 909, 665, 494, 339};
    return weights;
}

const std::vector<int>& WordGeneratorTr::lengthWeightsLevel3() const {
    static const std::vector<int> weights{195, 847, 1416, 1238, 1553, 1168, 1079, 810, 618, 439};
    return weights;
}

const std::vector<int>& WordGeneratorTr::lengthWeightsLevel4() const {
    static const std::vector<int> weights{154, 979, 1164, 1154, 1576, 1153, 1075, 877, 659, 475};
    return weights;
}

const std::vector<int>& WordGeneratorTr::lengthWeightsLevel5() const {
    static const std::vector<int> weights{127, 774, 1022, 1141, 1550, 1195, 1136, 923, 733, 536};
    return weights;
}

}  // namespace wv
