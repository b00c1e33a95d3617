#pragma once

#include <string>

namespace wv {

// One punctuation mark of exercise text with the spacing that goes with it. Marks are shared
// by reference between a language's selectors and the sentences built from them; the text
// model only reads them.
class WVPunctuation {
  public:
    WVPunctuation() = default;
    WVPunctuation(std::string inversion, std::string value, std::string spaceBefore,
                  std::string spaceAfter)
        : inversion(std::move(inversion)),
          value(std::move(value)),
          spaceBefore(std::move(spaceBefore)),
          spaceAfter(std::move(spaceAfter)) {}

    // Opening counterpart written before the first word of the sentence this mark ends
    // (Spanish "¿", "¡"); empty for every other mark.
    std::string inversion;
    std::string value;
    std::string spaceBefore;
    std::string spaceAfter;

    // User-perceived characters of spaceBefore + value + spaceAfter, plus those of inversion.
    int length() const;
};

}  // namespace wv
