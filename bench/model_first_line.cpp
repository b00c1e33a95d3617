// A program start as the application makes it, up to its first exercise line: the hub with
// its languages, layouts, settings and statistics, the settings loaded, one line generated.
// The start-up benchmark runs it as a child process. Exits 0 once a line is ready, 2 when the
// statistics do not hold the number of records given as the argument.
#include <cstdlib>

#include "engine/Model.h"

int main(int argc, char** argv) {
    wv::Model model;
    model.loadConfig();
    wv::LangData& lang = model.langRoot().getLang(model.config().language());
    model.textLine().generateNewLine(lang, model.learningAssist().mistypesFull().get());
    if (argc > 1 && model.stats().lessonsList().size() != std::strtoul(argv[1], nullptr, 10)) {
        return 2;
    }
    return model.textLine().text().empty() ? 1 : 0;
}
