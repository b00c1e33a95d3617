#include "platform/cloudkit/ServerBackend.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Module.h"

namespace wv::ck {

namespace {

using MakeBackend = Backend*(const char* connectionString, const char* containerIdentifier);

MakeBackend* backendMaker() {
    static MakeBackend* const maker = []() -> MakeBackend* {
        std::string error;
        auto module = Module::open("wovanu-postgres.so", error);
        MakeBackend* function =
            module ? module->function<MakeBackend>("wovanu_postgres_backend", error) : nullptr;
        if (!function) Log::print("the server backend is unavailable: " + error);
        return function;
    }();
    return maker;
}

}  // namespace

std::unique_ptr<Backend> makeServerBackend(const std::string& connectionString,
                                           const std::string& containerIdentifier) {
    MakeBackend* make = backendMaker();
    if (!make) return nullptr;
    return std::unique_ptr<Backend>(make(connectionString.c_str(), containerIdentifier.c_str()));
}

}  // namespace wv::ck
