#pragma once

#include <memory>
#include <string>
#include <vector>

#include "languages/LangData.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/layouts/KeyMapFr.h"

namespace wv::testing {

// A word generator that hands out the texts it is given, in turn, and remembers its calls.
class ScriptedGenerator : public WordGenerator {
  public:
    std::vector<std::string> texts{"line"};
    struct Call {
        int length;
        int level;
    };
    std::vector<Call> calls;

    std::vector<std::string> letterGroups() const override {
        return {"a", "b", "c", "d", "e", "f"};
    }
    std::string generateText(int length, int level, MistypesInfo*) override {
        calls.push_back({length, level});
        return texts[(calls.size() - 1) % texts.size()];
    }
};

// A learning language with a real key map and a scripted generator.
struct TestLanguage {
    explicit TestLanguage(Language type = Language::fr) {
        std::unique_ptr<KeyMapBase> keys;
        if (type == Language::fr) {
            keys = std::make_unique<KeyMapFr>();
        } else {
            keys = std::make_unique<KeyMapEn>();
        }
        data = std::make_unique<LangData>(type, "flag", std::move(keys), 5.0f, nullptr,
                                          [this](LangData&) {
                                              auto g = std::make_unique<ScriptedGenerator>();
                                              generator = g.get();
                                              return g;
                                          });
    }
    ScriptedGenerator* generator = nullptr;
    std::unique_ptr<LangData> data;
};

}  // namespace wv::testing
