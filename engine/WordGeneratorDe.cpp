#include "engine/WordGeneratorDe.h"

namespace wv {

const std::vector<int>& WordGeneratorDe::lengthWeightsLevel0() const {
    static const std::vector<int> weights{2000, 2977, 3556, 1416, 1416, 501, 45};
    return weights;
}

const std::vector<int>& WordGeneratorDe::lengthWeightsLevel1() const {
    static const std::vector<int> weights{2000, 2977, 3556, 1416, 1416, 501, 45};
    return weights;
}

const std::vector<int>& WordGeneratorDe::lengthWeightsLevel2() const {
    static const std::vector<int> weights{2000, 2977, 3556, 1416, 1416, 501, 45};
    return weights;
}

const std::vector<int>& WordGeneratorDe::lengthWeightsLevel5() const {
    static const std::vector<int> weights{8, 899, 2822, 1376, 1325, 1101, 648, 515, 408, 296};
    return weights;
}

}  // namespace wv
