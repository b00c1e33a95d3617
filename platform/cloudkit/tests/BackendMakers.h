#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/cloudkit/Backend.h"
#include "platform/cloudkit/CloudConfiguration.h"

namespace wv::ck::testing {

// One way of making backends for the contract suite: a fresh, empty store for each test, and
// any number of connections to it (each as a separate installation would hold it).
struct BackendMaker {
    std::string name;
    // Makes a fresh store under `scratch` (a new empty folder) and returns what names it.
    std::function<std::string(const std::filesystem::path& scratch)> freshStore;
    std::function<std::unique_ptr<Backend>(const std::string& store)> connect;
    // Points an installation's configuration at the store, as its environment would.
    std::function<void(CloudConfiguration& configuration, const std::string& store)> configure;
};

inline void PrintTo(const BackendMaker& maker, std::ostream* out) { *out << maker.name; }

// Every backend the suite runs against.
std::vector<BackendMaker> backendMakers();

}  // namespace wv::ck::testing
