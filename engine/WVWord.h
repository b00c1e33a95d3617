#pragma once

#include <functional>
#include <string>

namespace wv {

class Capitalizer;

// One word slot of an exercise line: while the line is shaped it is only a length and flags;
// its letters (or digits) are fetched when the line is rendered. Shared by reference between
// its sentence and the word lists of the text, so flags set through either are the same.
class WVWord {
  public:
    using Source = std::function<std::string(int)>;

    WVWord(int length, Source getWordWithSymbols, Source getNumberWithDigits)
        : length(length),
          getWordWithSymbols(std::move(getWordWithSymbols)),
          getNumberWithDigits(std::move(getNumberWithDigits)) {}

    // Characters the word is to have: letters asked of the word source, or digits.
    int length;
    bool isCapitalized = false;
    bool isNumber = false;
    bool isLast = false;
    Source getWordWithSymbols;
    Source getNumberWithDigits;

    // A fresh rendering: the sources run on every call.
    std::string text(const Capitalizer& capitals) const;
};

}  // namespace wv
