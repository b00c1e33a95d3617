#pragma once

#include <memory>
#include <string>
#include <vector>

#include "languages/LangData.h"
#include "languages/LetterGroups.h"
#include "languages/WordGenerator.h"

namespace wv {

// Stands in for the lesson engine's generators: the language's letter groups, and a line that
// names what the generator saw of its language when it was made.
class FakeWordGenerator : public WordGenerator {
  public:
    explicit FakeWordGenerator(LangData& data)
        : data_(data), madeLast_(data.punctuations() && data.punctuationsEnd()) {}
    std::vector<std::string> letterGroups() const override {
        return wv::letterGroups(data_.type());
    }
    std::string generateText(int, int level, MistypesInfo*) override {
        return data_.code() + ":" + std::to_string(level);
    }
    bool madeLast() const { return madeLast_; }

    static WordGeneratorFactory factory() {
        return [](LangData& data) { return std::make_unique<FakeWordGenerator>(data); };
    }

  private:
    LangData& data_;
    bool madeLast_;
};

}  // namespace wv
