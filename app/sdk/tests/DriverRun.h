#pragma once

// Runs of the application driver (app/sdk/driver) in their own processes, with their own
// environment, and what the loopback server received from them.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/testing/TestServer.h"

extern char** environ;

namespace wv::test {

// How a run ended.
struct RunResult {
    bool exited = false;    // ended by itself, with `exitCode`
    int exitCode = -1;
    int signal = 0;         // the signal that ended it, else 0
    bool timedOut = false;  // killed after the deadline
    std::string output;     // what it printed
    std::string sessionId;  // from its "session <id>" line

    std::string describe() const {
        std::ostringstream s;
        s << "exited " << exited << " code " << exitCode << " signal " << signal << " timed out "
          << timedOut << "\n"
          << output;
        return s.str();
    }
};

// The process's environment with `overrides` set and `removed` taken away.
inline std::vector<std::string> environmentWith(const std::map<std::string, std::string>& overrides,
                                                const std::vector<std::string>& removed = {}) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (overrides.count(name)) continue;
        if (std::find(removed.begin(), removed.end(), name) != removed.end()) continue;
        out.push_back(entry);
    }
    for (const auto& [name, value] : overrides) out.push_back(name + "=" + value);
    return out;
}

// Runs `argv` with `environment`, its output into `outputFile`, and waits at most `deadline`.
inline RunResult runProcess(const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment,
                            const std::filesystem::path& outputFile,
                            std::chrono::seconds deadline = std::chrono::seconds(120)) {
    RunResult result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args, env;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.output = "posix_spawn failed: " + std::to_string(rc);
        return result;
    }
    const auto until = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    std::ifstream in(outputFile);
    std::stringstream text;
    text << in.rdbuf();
    result.output = text.str();
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("session ", 0) == 0) result.sessionId = line.substr(8);
    return result;
}

inline std::string gunzipped(const std::string& bytes) {
    z_stream s{};
    inflateInit2(&s, 16 + MAX_WBITS);
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    s.avail_in = uInt(bytes.size());
    std::string out;
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        s.next_out = reinterpret_cast<Bytef*>(buffer);
        s.avail_out = sizeof buffer;
        rc = inflate(&s, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - s.avail_out);
    }
    inflateEnd(&s);
    return rc == Z_STREAM_END ? out : std::string();
}

// One line of an uploaded event log: "timestamp \t name \t length \t JSON".
struct EventLine {
    std::string name;
    nlohmann::json payload;
    bool whole = false;  // four fields, the length matching, the JSON readable

    // What the event stands for: a lifecycle or crash event's name, a custom event's type, a
    // predefined event's type (with its level name for levels).
    std::string kind() const {
        if (name == "custom") return payload.value("custom_type", "");
        if (name == "predefined") return payload.value("predefined_type", "");
        return name;
    }
};

// One uploaded body: its lines in order, the metadata first.
struct EventBody {
    std::vector<EventLine> lines;
    const nlohmann::json* metadata() const {
        return !lines.empty() && lines[0].name == "metadata" ? &lines[0].payload : nullptr;
    }
    std::string sessionId() const {
        const auto* m = metadata();
        return m && m->contains("session_id") && (*m)["session_id"].is_string()
                   ? (*m)["session_id"].get<std::string>()
                   : std::string();
    }
};

inline EventLine parseEventLine(const std::string& line) {
    EventLine out;
    std::vector<std::string> fields;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string::npos) return out;
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    out.name = fields[1];
    out.payload = nlohmann::json::parse(fields[3], nullptr, false);
    out.whole = !out.payload.is_discarded() && fields[2] == std::to_string(fields[3].size());
    return out;
}

// Every event body the server received on `path`, one per gzip part.
inline std::vector<EventBody> eventBodies(const net::testing::TestServer& server,
                                          const std::string& path) {
    std::vector<EventBody> bodies;
    for (const auto& request : server.requests()) {
        if (request.path != path) continue;
        for (const auto& part : request.parts) {
            const std::string text = gunzipped(part.content);
            if (text.empty()) continue;
            EventBody body;
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);)
                if (!line.empty()) body.lines.push_back(parseEventLine(line));
            bodies.push_back(std::move(body));
        }
    }
    return bodies;
}

// Waits (at most `seconds`) until `done` holds of the server's requests.
template <typename Predicate>
bool waitForServer(Predicate done, double seconds) {
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(int64_t(seconds * 1000));
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace wv::test
