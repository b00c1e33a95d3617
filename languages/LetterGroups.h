#pragma once

#include <string>
#include <vector>

#include "languages/Language.h"

namespace wv {

// The six letter groups of a learning language, lesson 0 first: each group holds the letters
// that lesson adds. Lower case, precomposed; the word databases are cut along these groups, so
// changing one means rebuilding them.
const std::vector<std::string>& letterGroups(Language language);

}  // namespace wv
