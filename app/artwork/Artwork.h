#pragma once

namespace wv {

// Registers every named image of the application (keys and their borders, hands and fingers,
// tip icons, statistics bars and stars, switches, flags, backgrounds) with Image::named.
// Call once at start-up; calling again changes nothing.
class Artwork {
public:
    static void registerAll();
};

}  // namespace wv
