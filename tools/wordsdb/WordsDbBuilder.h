#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace wv::tools {

// Turns one language's word list (most frequent word first) into the word database of one
// lesson level: tables "words1" .. "words10" with the columns "id", "word", "priorityChar".
//
// Level L holds only words whose letters all lie in groups 0..L. A word that has letters of
// group L gets one row per distinct group-L letter, that letter as its priorityChar, so the
// lesson and the mistyped-letter practice both find it. The last level also holds the words
// of the lower levels (priorityChar: a letter of the highest group the word reaches), so the
// expert level, which shares it and asks for no letter, draws from every letter.
class WordsDbBuilder {
  public:
    struct Caps {
        size_t perLetterAndLength = 200;  // rows of one priority letter in one table
        size_t lowerPerLength = 400;      // rows of lower-level words in one table, last level
    };

    struct Result {
        bool ok = false;
        std::string error;
        std::vector<size_t> rowsPerTable;  // index n - 1 for words<n>
        size_t words = 0;                  // distinct words in the file
    };

    // `groups`: the letters each lesson adds, lesson 0 first (six groups).
    WordsDbBuilder(std::vector<std::string> groups, Caps caps)
        : groups_(std::move(groups)), caps_(caps) {}

    // Writes the database to a temporary file beside `path` and renames it over `path` only
    // when everything succeeded, so an interrupted build never leaves a half database.
    Result build(const std::vector<std::string>& words, int level,
                 const std::filesystem::path& path) const;

    // Index of the group that holds the code point; -1 when none does.
    int groupOf(char32_t letter) const;

  private:
    struct Row {
        std::string word;
        std::string priority;
    };
    std::vector<std::vector<Row>> select(const std::vector<std::string>& words, int level) const;

    std::vector<std::string> groups_;
    Caps caps_;
};

}  // namespace wv::tools
