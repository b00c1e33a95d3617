// The crashed thread's recorded frames against a debugger's backtrace of the same program
// dying the same way: as offsets from their images' bases, since the two runs load the images
// at different addresses.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sdk/crash/tests/CrashChild.h"

namespace wv::test {
namespace {

struct Frame {
    std::string image;  // file name without folders
    uint64_t offset;
    bool inChild;
};

// The loader names some images by a link ("libstdc++.so.6"), the debugger by the file.
std::string baseName(const std::string& path) {
    std::error_code ec;
    auto real = std::filesystem::canonical(path, ec);
    return (ec ? std::filesystem::path(path) : real).filename().string();
}

struct DebuggerRun {
    std::vector<Frame> frames;
    bool ok = false;
};

// Runs the child under gdb to its fatal signal and reads the newest thread's frames and the
// mappings. Inline frames are folded into their callers, as a stack walk sees them, and so are
// tail-call frames: gdb makes those from the call-site records of the debug information
// (pthread_kill jumps into __pthread_kill_implementation, so gdb shows a pthread_kill frame
// at the jump), but no return address of theirs is on the stack for any walk to find.
DebuggerRun debuggerFrames(const std::string& mode, int maximumFrames) {
    DebuggerRun run;
    CrashChildFolder folder;
    const auto script = folder.path() / "commands.gdb";
    {
        std::ofstream out(script);
        out << "set pagination off\nset confirm off\nset width 0\n"
            << "handle SIG" << (SIGRTMAX - 1) << " nostop noprint pass\n"
            << "run\n"
            << "python\n"
            << "f = gdb.selected_frame()\n"
            << "n = 0\n"
            << "while f is not None and n < " << maximumFrames << ":\n"
            << "    if f.type() not in (gdb.INLINE_FRAME, gdb.TAILCALL_FRAME):\n"
            << "        print('FRAME 0x%x %s' % (f.pc(), f.name()))\n"
            << "        n += 1\n"
            << "    f = f.older()\n"
            << "end\n"
            << "info proc mappings\n"
            << "kill\nquit\n";
    }
    ChildResult result = runInFolder(
        folder, {WV_GDB, "-nx", "-batch", "-x", script.string(), "--args", WV_CRASH_CHILD, mode},
        [](pid_t, const std::string&) {});
    struct Mapping {
        uint64_t start, end, offset;
        std::string file;
    };
    std::vector<Mapping> mappings;
    std::vector<uint64_t> pcs;
    std::istringstream lines(result.output);
    std::string line;
    const std::regex frameLine(R"(^FRAME 0x([0-9a-f]+) )");
    const std::regex mapLine(
        R"(^\s*0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(?:[rwxps-]{4}\s+)?(/\S+)\s*$)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, m, frameLine))
            pcs.push_back(std::stoull(m[1], nullptr, 16));
        else if (std::regex_match(line, m, mapLine))
            mappings.push_back({std::stoull(m[1], nullptr, 16), std::stoull(m[2], nullptr, 16),
                                std::stoull(m[3], nullptr, 16), m[4]});
    }
    for (uint64_t pc : pcs) {
        Frame frame{"?", pc, false};
        for (const auto& map : mappings) {
            if (pc < map.start || pc >= map.end) continue;
            for (const auto& first : mappings)
                if (first.file == map.file && first.offset == 0) {
                    frame = {baseName(map.file), pc - first.start,
                             baseName(map.file) == baseName(WV_CRASH_CHILD)};
                    break;
                }
            break;
        }
        run.frames.push_back(frame);
    }
    run.ok = !run.frames.empty() && !mappings.empty();
    return run;
}

// A function of the child as [start, end) offsets, from nm's listing; {0, 0} when absent.
std::pair<uint64_t, uint64_t> functionRange(const std::string& name) {
    std::string listing;
    FILE* pipe = popen(("nm -C -S '" + std::string(WV_CRASH_CHILD) + "'").c_str(), "r");
    if (pipe == nullptr) return {0, 0};
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) listing.append(buffer, got);
    pclose(pipe);
    std::istringstream lines(listing);
    std::string line;
    const std::regex symbol(R"(^([0-9a-f]+) ([0-9a-f]+) [Tt] (.*)$)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, symbol) && m[3] == name) {
            uint64_t start = std::stoull(m[1], nullptr, 16);
            return {start, start + std::stoull(m[2], nullptr, 16)};
        }
    }
    return {0, 0};
}

// The SDK's own terminate handler. It is on the stack of a recorded uncaught exception only:
// under a debugger the SDK installs no handler, so the debugger's backtrace goes from
// libstdc++'s terminate straight to the handler before ours.
std::pair<uint64_t, uint64_t> terminateHandlerRange() {
    return functionRange("wv::QXTerminateHandler()");
}

struct Recorded {
    std::vector<Frame> frames;
    nlohmann::json thread;
};

Recorded recordedFrames(const std::string& mode) {
    Recorded recorded;
    const auto handler = terminateHandlerRange();
    CrashChildFolder folder;
    runChild(folder, mode);
    auto signal = sectionsOf(folder.report() / "signal.qxrecord");
    std::vector<std::tuple<std::string, uint64_t, uint64_t>> images;
    for (const auto& line : linesOf(folder.report() / "binary_images.qxrecord"))
        if (line.contains("load") && line["load"]["path"].is_string())
            images.emplace_back(line["load"]["path"], line["load"]["base"], line["load"]["size"]);
    for (const auto& thread : signal["threads"]) {
        if (!thread.contains("crashed")) continue;
        recorded.thread = thread;
        for (uint64_t pc : thread["stacktrace"]) {
            Frame frame{"?", pc, false};
            for (const auto& [path, base, size] : images)
                if (pc >= base && pc - base < size) {
                    frame = {baseName(path), pc - base, baseName(path) == baseName(WV_CRASH_CHILD)};
                    break;
                }
            // A return address into our handler lies after its call: past the start, up to
            // the end.
            if (frame.inChild && frame.offset > handler.first && frame.offset <= handler.second)
                continue;
            recorded.frames.push_back(frame);
        }
    }
    return recorded;
}

std::string describe(const std::vector<Frame>& frames) {
    std::ostringstream s;
    for (const auto& f : frames) s << "  " << f.image << "+0x" << std::hex << f.offset << "\n";
    return s.str();
}

// Down to the last frame of the child itself: main for the main thread, the thread's entry
// for another.
size_t framesToCompare(const std::vector<Frame>& frames) {
    size_t last = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].inChild) last = i + 1;
    return last;
}

class GdbComparison : public ::testing::TestWithParam<const char*> {};

TEST_P(GdbComparison, TheCrashedThreadsFramesMatchTheDebuggers) {
    if (std::string(WV_GDB).empty()) GTEST_SKIP() << "gdb is not installed";
    DebuggerRun debugger = debuggerFrames(GetParam(), 400);
    ASSERT_TRUE(debugger.ok) << "gdb gave no frames";
    Recorded recorded = recordedFrames(GetParam());
    const size_t n = framesToCompare(debugger.frames);
    ASSERT_GT(n, 0u) << describe(debugger.frames);
    ASSERT_GE(recorded.frames.size(), n) << "gdb:\n"
                                         << describe(debugger.frames) << "recorded:\n"
                                         << describe(recorded.frames);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(recorded.frames[i].image, debugger.frames[i].image) << "frame " << i;
        EXPECT_EQ(recorded.frames[i].offset, debugger.frames[i].offset)
            << "frame " << i << "\ngdb:\n"
            << describe(debugger.frames) << "recorded:\n"
            << describe(recorded.frames);
    }
}

std::string modeName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Modes, GdbComparison,
                         ::testing::Values("null-write", "ud2", "thread-fault"), modeName);
// Both die inside pthread_kill, whose call-frame rules remember and restore a state around an
// early return, and reach it through a tail call; "throw" also passes our terminate handler.
INSTANTIATE_TEST_SUITE_P(InsidePthreadKill, GdbComparison, ::testing::Values("abort", "throw"),
                         modeName);

TEST(GdbComparison, AnOverflowKeepsTheFirstTenFramesAndNamesTheRepeatedPC) {
    if (std::string(WV_GDB).empty()) GTEST_SKIP() << "gdb is not installed";
    DebuggerRun debugger = debuggerFrames("overflow", 12);
    ASSERT_GE(debugger.frames.size(), 11u);
    Recorded recorded = recordedFrames("overflow");
    ASSERT_GE(recorded.frames.size(), 10u) << describe(recorded.frames);
    // Where the stack runs out differs from run to run (its top moves with the environment
    // and the randomised layout), so the faulting instruction may be another one of the
    // recursion: the first frame need only lie in it.
    const auto recursion = functionRange("(anonymous namespace)::recurse(int)");
    ASSERT_LT(recursion.first, recursion.second);
    for (const Frame& first : {recorded.frames[0], debugger.frames[0]}) {
        EXPECT_TRUE(first.inChild);
        EXPECT_GE(first.offset, recursion.first);
        EXPECT_LT(first.offset, recursion.second);
    }
    for (size_t i = 1; i < 10; ++i) {
        EXPECT_EQ(recorded.frames[i].image, debugger.frames[i].image) << "frame " << i;
        EXPECT_EQ(recorded.frames[i].offset, debugger.frames[i].offset) << "frame " << i;
    }
    ASSERT_TRUE(recorded.thread.contains("repeated_pc"));
    const uint64_t repeated = recorded.thread["repeated_pc"];
    // The repeated address is the recursion's return address: gdb's second frame.
    const uint64_t firstReturn = recorded.thread["stacktrace"][1];
    EXPECT_EQ(repeated, firstReturn);
    EXPECT_EQ(recorded.frames[1].offset, debugger.frames[1].offset);
    EXPECT_GT(recorded.thread["repeat_count"].get<uint64_t>(), 100u);
}

}  // namespace
}  // namespace wv::test
