#pragma once

namespace wv {

// Percent of characters typed right: 100 when nothing was typed or nothing was wrong, else
// floor((1 - typos / total) * 100), never below 0. Single precision, as the indicator and the
// stored records have always rounded it.
int accuracyPercent(int total, int typos);

// Characters per minute, truncated. No time elapsed (or a clock that went backwards) gives 0
// rather than a division by zero.
int charactersPerMinute(int characters, double seconds);

// The least accuracy a finished line needs to be stored.
inline constexpr int kMinStoredAccuracy = 51;

}  // namespace wv
