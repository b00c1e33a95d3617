#pragma once

// Runs the crash child in a fresh cache and data folder and reads what it left behind.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/crash/context/QXFileReadSections.h"

namespace wv::test {

class CrashChildFolder {
  public:
    CrashChildFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qxchild-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        std::filesystem::create_directories(path_ / "cache");
        std::filesystem::create_directories(path_ / "data");
    }
    ~CrashChildFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::filesystem::path cache() const { return path_ / "cache"; }
    std::filesystem::path data() const { return path_ / "data"; }
    std::filesystem::path report() const { return cache() / "report"; }
    std::filesystem::path path() const { return path_; }

  private:
    std::filesystem::path path_;
};

struct ChildResult {
    int status = 0;
    std::string output;
    std::string errors;
    pid_t pid = 0;
};

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs `argv` with the folder's cache and data homes; `whileRunning` is called once the child
// printed its first line (with its pid), for tests that act on a live child.
template <class Hook>
ChildResult runInFolder(const CrashChildFolder& folder, const std::vector<std::string>& argv,
                        Hook whileRunning) {
    const auto out = folder.path() / "stdout";
    const auto err = folder.path() / "stderr";
    ChildResult result;
    int ready[2];
    if (pipe(ready) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CACHE_HOME", folder.cache().c_str(), 1);
        setenv("XDG_DATA_HOME", folder.data().c_str(), 1);
        close(ready[0]);
        dup2(ready[1], STDOUT_FILENO);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(e, STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(ready[1]);
    result.pid = pid;
    std::string text;
    char buffer[4096];
    bool hooked = false;
    for (;;) {
        const ssize_t n = read(ready[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, size_t(n));
        if (!hooked && text.find('\n') != std::string::npos) {
            hooked = true;
            whileRunning(pid, text);
        }
    }
    close(ready[0]);
    waitpid(pid, &result.status, 0);
    result.output = text;
    result.errors = slurp(err);
    (void)out;
    return result;
}

inline ChildResult runChild(const CrashChildFolder& folder, const std::string& mode) {
    return runInFolder(folder, {WV_CRASH_CHILD, mode}, [](pid_t, const std::string&) {});
}

// Every section of a record file by name (the last of each name wins; load and unload lines
// of the images record are read in order by the caller instead).
inline std::map<std::string, nlohmann::json> sectionsOf(const std::filesystem::path& path) {
    std::map<std::string, nlohmann::json> sections;
    auto lines = QXFileReadSections(path, false);
    if (!lines) return sections;
    for (const auto& line : *lines)
        for (const auto& [key, value] : line.items()) sections[key] = value;
    return sections;
}

inline std::vector<nlohmann::json> linesOf(const std::filesystem::path& path) {
    auto lines = QXFileReadSections(path, false);
    return lines ? *lines : std::vector<nlohmann::json>{};
}

}  // namespace wv::test
