#include "engine/WordGeneratorGr.h"

namespace wv {

const std::vector<int>& WordGeneratorGr::lengthWeightsLevel0() const {
    static const std::vector<int> weights{2131, 6531, 1324, 11, 10, 10, 10, 10, 0, 0};
    return weights;
}

const std::vector<int>& WordGeneratorGr::lengthWeightsLevel1() const {
    static const std::vector<int> weights{1522, 2822, 5270, 380, 10, 10, 10, 10, 10, 10};
    return weights;
}

const std::vector<int>& WordGeneratorGr::lengthWeightsLevel2() const {
    static const std::vector<int> weights{1263, 2962, 5035, 678, 50, 10, 10, 10, 10, 10};
    return weights;
}

const std::vector<int>& WordGeneratorGr::lengthWeightsLevel3() const {
    static const std::vector<int> weights{1160, 2759, 5368, 618, 65, 10, 10, 10, 10, 10};
    return weights;
}

const std::vector<int>& WordGeneratorGr::lengthWeightsLevel4() const {
    static const std::vector<int> weights{1093, 2751, 5291, 696, 80, 17, 17, 18, 12, 12};
    return weights;
}

const std::vector<int>& WordGeneratorGr::lengthWeightsLevel5() const {
    static const std::vector<int> weights{1104, 2738, 5237, 706, 97, 21, 20, 23, 19, 17};
    return weights;
}

}  // namespace wv
