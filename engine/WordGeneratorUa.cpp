#include "engine/WordGeneratorUa.h"

namespace wv {

const std::vector<int>& WordGeneratorUa::lengthWeightsLevel0() const {
    static const std::vector<int> weights{5, 4, 2, 10, 10, 3};
    return weights;
}

const std::vector<int>& WordGeneratorUa::lengthWeightsLevel5() const {
    static const std::vector<int> weights{895, 1355, 924, 1231, 1105, 1093, 918, 807, 637, 444};
    return weights;
}

}  // namespace wv
