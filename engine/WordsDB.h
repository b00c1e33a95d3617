#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Bundle.h"

namespace wv {

class WordsDBLazyProxy;

// One word database of the bundle, db/<case>_<level>.db, opened read-only on the first word
// request and kept open. A file missing from the bundle is reported once and gives no words;
// nothing is ever created in the bundle.
class WordsDB {
  public:
    explicit WordsDB(std::string name, Bundle bundle = Bundle::main());
    ~WordsDB();
    WordsDB(const WordsDB&) = delete;
    WordsDB& operator=(const WordsDB&) = delete;

    const std::string& name() const { return name_; }
    // Whether the file has been opened (or tried).
    bool isLoaded() const { return proxyDB_ != nullptr; }
    // True when one of the ten tables counted no rows when the file was opened.
    bool hasEmptyTables();

    // A random word of `length` (1..10) letters; with a non-empty priority only one whose
    // priority letter it is.
    std::optional<std::string> randomWord(int length, const std::optional<std::string>& priority);
    // The generator's lookup: a word with the priority letter, else any word of the length,
    // else the first `length` letters of random words of every length joined.
    std::optional<std::string> word(int length, const std::optional<std::string>& priority);

  private:
    WordsDBLazyProxy& proxyDB();

    std::string name_;
    Bundle bundle_;
    std::unique_ptr<WordsDBLazyProxy> proxyDB_;
};

}  // namespace wv
