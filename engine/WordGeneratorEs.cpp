#include "engine/WordGeneratorEs.h"

namespace wv {

const std::vector<int>& WordGeneratorEs::lengthWeightsLevel0() const {
    static const std::vector<int> weights{4590, 3631, 1578, 161, 34, 10, 10, 10, 0, 10};
    return weights;
}

const std::vector<int>& WordGeneratorEs::lengthWeightsLevel1() const {
    static const std::vector<int> weights{834, 6487, 1766, 424, 256, 92, 59, 41, 29, 10};
    return weights;
}

const std::vector<int>& WordGeneratorEs::lengthWeightsLevel2() const {
    static const std::vector<int> weights{454, 3694, 1383, 1031, 886, 766, 576, 480, 293, 193};
    return weights;
}

const std::vector<int>& WordGeneratorEs::lengthWeightsLevel3() const {
    static const std::vector<int> weights{641, 2875, 1583, 889, 1126, 861, 683, 547, 336, 214};
    return weights;
}

const std::vector<int>& WordGeneratorEs::lengthWeightsLevel4() const {
    static const std::vector<int> weights{592, 2659, 1538, 943, 1182, 910, 724, 580, 366, 240};
    return weights;
}

const std::vector<int>& WordGeneratorEs::lengthWeightsLevel5() const {
    static const std::vector<int> weights{603, 2619, 1519, 937, 1177, 916, 738, 596, 375, 244};
    return weights;
}

}  // namespace wv
