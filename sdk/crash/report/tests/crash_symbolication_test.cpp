// A real crash of the crash child, symbolicated by the child's next launch, names the child's
// frames as the binary tools name the same offsets of the same file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/crash/tests/CrashChild.h"

namespace wv::test {
namespace {

std::string fileNameOf(const std::string& path) {
    std::error_code ec;
    auto real = std::filesystem::canonical(path, ec);
    return (ec ? std::filesystem::path(path) : real).filename().string();
}

// What `addr2line -f -C -i -a` says of one address: the function holding it, then, when that
// was inlined, each function it was inlined into, out to the one the frame really runs in.
struct Place {
    std::string innermost;  // what `addr2line -f -C` alone names
    std::string file;       // of the innermost
    std::string outermost;
    int depth = 0;  // 1 when nothing was inlined there
};

// One run per address: addr2line remembers what it read, and the name it gives the split-off
// cold part of a function depends on what it was asked before.
Place addr2linePlace(uint64_t offset) {
    std::ostringstream command;
    command << "addr2line -f -C -i -a -e '" << WV_CRASH_CHILD << "' 0x" << std::hex << offset;
    std::string output;
    FILE* pipe = popen(command.str().c_str(), "r");
    if (pipe == nullptr) return {};
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    Place place;
    std::istringstream lines(output);
    std::string address, name, where;
    if (!std::getline(lines, address)) return place;
    while (std::getline(lines, name) && std::getline(lines, where)) {
        if (place.depth++ == 0) {
            place.innermost = name;
            place.file =
                std::filesystem::path(where.substr(0, where.find(':'))).filename().string();
        }
        place.outermost = name;
    }
    return place;
}

// The debug information names some member functions by their bare name only ("_M_run"),
// where the symbol table has the whole qualified signature; and it counts the part of a
// function that the compiler split off as cold as that function.
bool sameFunction(const std::string& symbol, const std::string& debugName) {
    if (symbol == debugName || symbol == debugName + " [clone .cold]") return true;
    const bool bare = debugName.find_first_of(":(<") == std::string::npos && !debugName.empty();
    return bare && symbol.find("::" + debugName + "(") != std::string::npos;
}

struct ChildFrame {
    std::string file;  // the crash file
    uint64_t offset;   // into the child, as the binary tools count
    std::string symbol;
};

struct CrashCase {
    const char* mode;
    bool faultInChild;  // the crashed thread's own instruction pointer is in the child
};

// Names the case in test output, rather than its bytes.
void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.mode; }

class ChildCrash : public ::testing::TestWithParam<CrashCase> {};

TEST_P(ChildCrash, NamesTheChildsFramesAsTheBinaryToolsDo) {
    CrashChildFolder folder;
    ChildResult crash = runChild(folder, GetParam().mode);
    ASSERT_TRUE(WIFSIGNALED(crash.status)) << crash.errors;
    ChildResult next = runChild(folder, "symbolicate");
    ASSERT_TRUE(WIFEXITED(next.status) && WEXITSTATUS(next.status) == 0) << next.status << "\n"
                                                                         << next.errors;

    uint64_t base = 0, size = 0;
    for (const auto& line : linesOf(folder.report() / "binary_images.qxrecord"))
        if (line.contains("load") && line["load"]["path"].is_string() &&
            fileNameOf(line["load"]["path"]) == fileNameOf(WV_CRASH_CHILD)) {
            base = line["load"]["base"];
            size = line["load"]["size"];
        }
    ASSERT_NE(size, 0u) << "the child's image is not in its record";

    std::vector<ChildFrame> frames;
    bool faultFound = false;
    for (const char* file : {"exception.qxrecord", "signal.qxrecord"}) {
        if (!std::filesystem::exists(folder.report() / file)) continue;
        auto raw = sectionsOf(folder.report() / file)["threads"];
        auto named = sectionsOf(folder.report() / (std::string(file) + ".symbolicated"))["threads"];
        ASSERT_EQ(named.size(), raw.size()) << file;
        for (size_t t = 0; t < raw.size(); ++t) {
            const auto& stacktrace = raw[t]["stacktrace"];
            ASSERT_EQ(named[t].size(), stacktrace.size()) << file << " thread " << t;
            for (size_t i = 0; i < stacktrace.size(); ++i) {
                const uint64_t address = stacktrace[i];
                if (address < base || address - base >= size) continue;
                const auto& frame = named[t][i];
                EXPECT_EQ(frame["library"], fileNameOf(WV_CRASH_CHILD));
                ASSERT_TRUE(frame["symbol"].is_string()) << frame.dump();
                // A return address lies after its call; the instruction pointer is the fault.
                frames.push_back({file, address - base - (i == 0 ? 0 : 1), frame["symbol"]});
                if (i == 0 && raw[t].contains("crashed")) faultFound = true;
            }
        }
    }
    ASSERT_FALSE(frames.empty());
    std::map<uint64_t, Place> known;
    std::vector<Place> places;
    for (const auto& f : frames) {
        if (!known.count(f.offset)) known[f.offset] = addr2linePlace(f.offset);
        places.push_back(known[f.offset]);
        ASSERT_GT(places.back().depth, 0)
            << "addr2line gave no answer for 0x" << std::hex << f.offset;
    }
    size_t ownFrames = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        // The child's own functions, named exactly as addr2line names them. Where it names a
        // function inlined at that offset, no frame of that function is on any stack.
        if (places[i].file == "crash_child.cpp" && places[i].depth == 1) {
            ++ownFrames;
            EXPECT_EQ(frames[i].symbol, places[i].innermost)
                << frames[i].file << " at 0x" << std::hex << frames[i].offset;
        }
        // Code inlined into a frame is no frame of its own: every frame is named after the
        // function it runs in.
        EXPECT_TRUE(sameFunction(frames[i].symbol, places[i].outermost))
            << frames[i].symbol << " is not " << places[i].outermost << " in " << frames[i].file
            << " at 0x" << std::hex << frames[i].offset;
    }
    EXPECT_GT(ownFrames, 0u);
    EXPECT_EQ(faultFound, GetParam().faultInChild);
}

const CrashCase kCrashCases[] = {
    {"null-write", true},   {"abort", false},       {"throw", false},
    {"thread-fault", true}, {"deep-threads", true},
};

INSTANTIATE_TEST_SUITE_P(Report, ChildCrash, ::testing::ValuesIn(kCrashCases),
                         [](const auto& info) {
                             std::string name = info.param.mode;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
}  // namespace wv::test
