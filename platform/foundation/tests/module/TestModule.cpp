#include "platform/foundation/Log.h"
#include "platform/foundation/Module.h"

// A module for the loader's tests: functions to find, with values only they can give.
extern "C" int wv_test_module_answer(int question) { return question * 6 + 0x1d; }

extern "C" void wv_test_module_say(const char* line) { wv::Log::print(line); }

// Opens this module again from its own code, as a module's own copy of a loader would.
extern "C" bool wv_test_module_reopen() {
    std::string error;
    return wv::Module::open("wovanu-test-module.so", error).has_value();
}
