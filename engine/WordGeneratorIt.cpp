#include "engine/WordGeneratorIt.h"

namespace wv {

const std::vector<int>& WordGeneratorIt::lengthWeightsLevel0() const {
    static const std::vector<int> weights{6095, 1973, 1813, 95, 20, 10, 10, 10, 0, 10};
    return weights;
}

const std::vector<int>& WordGeneratorIt::lengthWeightsLevel1() const {
    static const std::vector<int> weights{1952, 3238, 1583, 868, 898, 600, 384, 217, 129, 72};
    return weights;
}

const std::vector<int>& WordGeneratorIt::lengthWeightsLevel2() const {
    static const std::vector<int> weights{833, 2508, 1511, 860, 1403, 903, 757, 478, 316, 216};
    return weights;
}

const std::vector<int>& WordGeneratorIt::lengthWeightsLevel3() const {
    static const std::vector<int> weights{642, 2010, 1563, 775, 1445, 992, 871, 628, 426, 306};
    return weights;
}

const std::vector<int>& WordGeneratorIt::lengthWeightsLevel4() const {
    static const std::vector<int> weights{656, 1885, 1523, 785, 1398, 1114, 878, 636, 430, 313};
    return weights;
}

const std::vector<int>& WordGeneratorIt::lengthWeightsLevel5() const {
    static const std::vector<int> weights{652, 1874, 1516, 790, 1407, 1120, 878, 637, 431, 312};
    return weights;
}

}  // namespace wv
