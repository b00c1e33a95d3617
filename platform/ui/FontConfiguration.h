#pragma once

namespace wv {

// Reads the system's font configuration on a thread of its own. The first text the start
// measures would otherwise read and parse every configuration file of the font library on
// the main thread first, a few milliseconds before the window can be built; begun at the
// top of the program, that work is done by then. Harmless to call more than once: the library
// keeps one configuration, and a caller that asks before it is read reads it itself.
void startReadingFontConfiguration();

}  // namespace wv
