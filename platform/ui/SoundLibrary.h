#pragma once

#include <memory>
#include <string_view>

#include "platform/ui/SoundClip.h"

namespace wv {

// The application's sounds by name: "sounds/<name>.wav" in the bundle. The same clip is
// returned for the same name.
class SoundLibrary {
public:
    // nullptr when the bundle has no such sound.
    static std::shared_ptr<SoundClip> named(std::string_view name);
};

}  // namespace wv
