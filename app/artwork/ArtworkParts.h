#pragma once

// The families of pictures, each registered by its own file.
namespace wv::artwork {
void registerKeys();
void registerHands();
void registerTips();
void registerControls();
void registerStatistics();
void registerFlags();
void registerBackgrounds();
}  // namespace wv::artwork
