#include "engine/WordGeneratorFr.h"

namespace wv {

const std::vector<int>& WordGeneratorFr::lengthWeightsLevel0() const {
    static const std::vector<int> weights{725, 7567, 1103, 493, 47, 46, 12, 1, 1};
    return weights;
}

const std::vector<int>& WordGeneratorFr::lengthWeightsLevel1() const {
    static const std::vector<int> weights{213, 5283, 2014, 1122, 592, 390, 175, 102, 59, 31};
    return weights;
}

const std::vector<int>& WordGeneratorFr::lengthWeightsLevel2() const {
    static const std::vector<int> weights{120, 3601, 1665, 1440, 940, 744, 555, 365, 256, 164};
    return weights;
}

const std::vector<int>& WordGeneratorFr::lengthWeightsLevel3() const {
    static const std::vector<int> weights{92, 2682, 1627, 1301, 1069, 954, 777, 577, 405, 256};
    return weights;
}

const std::vector<int>& WordGeneratorFr::lengthWeightsLevel4() const {
    static const std::vector<int> weights{318, 2509, 1540, 1345, 1073, 939, 788, 583, 397, 253};
    return weights;
}

const std::vector<int>& WordGeneratorFr::lengthWeightsLevel5() const {
    static const std::vector<int> weights{313, 2492, 1524, 1349, 1083, 946, 792, 590, 403, 253};
    return weights;
}

}  // namespace wv
