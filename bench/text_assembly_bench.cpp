// Building one exercise line of 100 characters from an in-memory word source, the way the word
// generator does it: weighted word lengths, one to three sentences, punctuation, numbers and
// capitals. Target: under 50 microseconds per line.
//
// Every draw goes through the program's random source. The system source costs one getrandom
// call per draw with this C library, and a line takes about sixty draws, so the lines are also
// timed with an in-process generator to show what the text model itself costs.

#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <vector>

#include "engine/Capitalizer.h"
#include "engine/Random.h"
#include "engine/WVText.h"
#include "languages/WVPunctuationSelector.h"
#include "languages/layouts/KeyMapEn.h"
#include "platform/foundation/Random.h"

namespace wv {
namespace {

// A handful of words of every length 1..10.
using Words = std::array<std::vector<std::string>, 11>;

Words englishWords() {
    Words w;
    w[1] = {"a", "i"};
    w[2] = {"an", "to", "of", "in"};
    w[3] = {"the", "and", "cat", "sun"};
    w[4] = {"time", "road", "blue", "kind"};
    w[5] = {"house", "river", "light", "sound"};
    w[6] = {"garden", "letter", "bridge", "silver"};
    w[7] = {"morning", "kitchen", "weather", "journey"};
    w[8] = {"mountain", "question", "elephant", "shoulder"};
    w[9] = {"wonderful", "beautiful", "adventure", "chocolate"};
    w[10] = {"basketball", "everything", "friendship", "understand"};
    return w;
}

Words turkishWords() {
    Words w;
    w[1] = {"o", "ı"};
    w[2] = {"iş", "su", "ev", "öz"};
    w[3] = {"göz", "içi", "kış", "yol"};
    w[4] = {"ilik", "ağaç", "gece", "şehr"};
    w[5] = {"ılık", "güneş", "işçi", "çiçek"};
    w[6] = {"istiyo", "öğrenc", "kitabı", "şarkıc"};
    w[7] = {"istanbu", "ağaçlar", "çocukla", "gözlükl"};
    w[8] = {"ilkbahar", "öğretmen", "sıcaklık", "şemsiyel"};
    w[9] = {"ışıklarda", "öğrencile", "çalışkanl", "istasyonu"};
    w[10] = {"üniversite", "ilköğretim", "çikolatacı", "şampiyonlu"};
    return w;
}

const std::vector<int> kLengthWeights{2, 8, 12, 14, 14, 12, 10, 8, 6, 4};

std::string buildLine(const Words& words, std::shared_ptr<WVPunctuationSelector> normal,
                      std::shared_ptr<WVPunctuationSelector> ending, const Capitalizer& capitals,
                      int& previousLength) {
    const int sentences = randomUniform(10) < 5 ? 2 : (randomUniform(10) > 4 ? 3 : 1);
    WVText text(
        sentences, std::move(normal), std::move(ending),
        [&words, pick = size_t(0)](int n) mutable {
            // The word databases choose with their own generator, not the program's
            // random source; a rotating pick stands in for it.
            const auto& list = words[size_t(n)];
            return list[pick++ % list.size()];
        },
        capitals);
    while (text.length() < 100) {
        int length = weightedRandomIndex(kLengthWeights).value_or(4);
        while (length == previousLength) length = weightedRandomIndex(kLengthWeights).value_or(3);
        previousLength = length;
        text.addWord(length);
    }
    text.fitToLength(100);
    const int n = int(text.allWords().size());
    text.setPunctuation(0.5f);
    text.fitToLength(100);
    text.makeNumbers(3 + int(randomUniform(3)));
    text.setCapitals(float(n / 3) / float(n));
    return text.text();
}

// Counts the draws of a line, drawing from an in-process generator.
class CountingRandom final : public RandomSource {
  public:
    uint32_t uniform(uint32_t bound) override {
        ++draws;
        return inner_.uniform(bound);
    }
    long draws = 0;

  private:
    SeededRandom inner_{1};
};

void assemble(benchmark::State& state, const Words& words, const Capitalizer& capitals) {
    auto normal = makePunctuationSelector(PunctuationType::Normal);
    auto ending = makePunctuationSelector(PunctuationType::Ending);
    int previousLength = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(buildLine(words, normal, ending, capitals, previousLength));
    }
}

const Words& wordsOf(int64_t language) {
    static const Words english = englishWords();
    static const Words turkish = turkishWords();
    return language == 0 ? english : turkish;
}

Capitalizer capitalsOf(int64_t language) {
    static const KeyMapEn english;
    if (language == 0) return Capitalizer::forKeyMap(english);
    return Capitalizer("tr", [](std::string_view) { return true; });
}

// Argument 0: English words and layout, 1: Turkish words (non-ASCII text, Turkish capitals).
void BM_AssembleLine(benchmark::State& state) {
    assemble(state, wordsOf(state.range(0)), capitalsOf(state.range(0)));
}
BENCHMARK(BM_AssembleLine)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_AssembleLineInProcessRandom(benchmark::State& state) {
    auto source = std::make_shared<CountingRandom>();
    ScopedRandomSource scope(source);
    assemble(state, wordsOf(state.range(0)), capitalsOf(state.range(0)));
    state.counters["draws"] = double(source->draws) / double(state.iterations());
}
BENCHMARK(BM_AssembleLineInProcessRandom)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SystemRandomDraw(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(randomUniform(10));
}
BENCHMARK(BM_SystemRandomDraw);

}  // namespace
}  // namespace wv
