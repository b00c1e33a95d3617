#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace wv::screens {

// Interface files by name: a registered maker builds a file's top-level views in code, as the
// file would lay them out. Loading a name nobody registered fails with no views.
class Nib {
  public:
    using Maker = std::function<std::vector<std::unique_ptr<View>>()>;

    static void registerMaker(const std::string& name, Maker maker);
    // The top-level views of a new copy; empty when the name is unknown.
    static std::vector<std::unique_ptr<View>> load(const std::string& name);
};

}  // namespace wv::screens
