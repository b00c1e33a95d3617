// Builds the six word databases of one language from its committed word list:
//   wv_wordsdb <word list> <language case name> <output folder>
// writes <output folder>/<case>_0.db .. <case>_5.db.

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "languages/Language.h"
#include "languages/LetterGroups.h"
#include "tools/wordsdb/WordsDbBuilder.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <word list> <case> <output folder>\n", argv[0]);
        return 2;
    }
    const std::string caseName = argv[2];
    std::optional<wv::Language> language;
    for (int raw = 0; raw <= 9; ++raw) {
        const auto candidate = wv::languageFromRawValue(raw);
        if (candidate && wv::languageName(*candidate) == caseName) language = candidate;
    }
    if (!language) {
        std::fprintf(stderr, "wv_wordsdb: no letter groups for language \"%s\"\n", argv[2]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "wv_wordsdb: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) words.push_back(line);
    }
    const std::filesystem::path folder = argv[3];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    wv::tools::WordsDbBuilder builder(wv::letterGroups(*language), {});
    for (int level = 0; level <= 5; ++level) {
        const auto path = folder / (caseName + "_" + std::to_string(level) + ".db");
        const auto result = builder.build(words, level, path);
        if (!result.ok) {
            std::fprintf(stderr, "wv_wordsdb: %s: %s\n", path.c_str(), result.error.c_str());
            return 1;
        }
        size_t rows = 0;
        std::string perTable;
        for (size_t n : result.rowsPerTable) {
            rows += n;
            perTable += " " + std::to_string(n);
        }
        std::printf("%s_%d: %zu rows (per length:%s)\n", caseName.c_str(), level, rows,
                    perTable.c_str());
    }
    return 0;
}
