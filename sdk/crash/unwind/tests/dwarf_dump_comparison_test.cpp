// The rule table our runner builds at every row that llvm-dwarfdump prints, for objects
// built for arm64 and for our own x86-64 program.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/crash/unwind/QXDwarfUnwind.h"

namespace wv {
namespace {

struct Section {
    uint64_t start = 0, end = 0;
};

Section findEhFrame(const std::vector<char>& bytes) {
    auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
    auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + header->e_shoff);
    const char* names = bytes.data() + sections[header->e_shstrndx].sh_offset;
    for (int i = 0; i < header->e_shnum; ++i) {
        if (std::string(names + sections[i].sh_name) == ".eh_frame") {
            auto start = reinterpret_cast<uint64_t>(bytes.data() + sections[i].sh_offset);
            return {start, start + sections[i].sh_size};
        }
    }
    return {};
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

std::string registerName(uint64_t reg, bool arm64) {
    if (arm64) return reg == 31 ? "WSP" : "W" + std::to_string(reg);
    static const char* names[] = {"RAX", "RDX", "RCX", "RBX", "RSI", "RDI", "RBP", "RSP", "R8",
                                  "R9",  "R10", "R11", "R12", "R13", "R14", "R15", "RIP"};
    return names[reg];
}

std::string signedOffset(int64_t offset) {
    if (offset == 0) return "";
    return (offset > 0 ? "+" : "") + std::to_string(offset);
}

// The row as llvm-dwarfdump writes it; an expression is written as "DW_OP", the one part
// compared of it.
std::string render(const QXDwarfState& state, bool arm64) {
    std::string text = "CFA=";
    if (state.cfaExpression != 0) {
        text += "DW_OP";
    } else {
        text += registerName(state.cfaRegister, arm64) + signedOffset(int64_t(state.cfaOffset));
    }
    std::string rules;
    uint32_t count = arm64 ? 32 : 17;
    for (uint32_t reg = 0; reg < count; ++reg) {
        const QXDwarfRegisterRule& rule = state.registers[reg];
        std::string value;
        switch (rule.kind) {
            case QXDwarfRuleSame:
                continue;
            case QXDwarfRuleOffset:
                value = "[CFA" + signedOffset(int64_t(rule.value)) + "]";
                break;
            case QXDwarfRuleOffsetFromCFA:
                value = "CFA" + signedOffset(int64_t(rule.value));
                break;
            case QXDwarfRuleRegister:
                value = registerName(rule.value, arm64);
                break;
            case QXDwarfRuleUndefined:
                value = "undefined";
                break;
            default:
                value = "DW_OP";
        }
        rules += (rules.empty() ? "" : ", ") + registerName(reg, arm64) + "=" + value;
    }
    return rules.empty() ? text : text + ": " + rules;
}

// Their row with what our table does not keep apart taken out: "same" (ours leaves the
// register unnamed, which means the same) and the text of expressions.
std::string normalise(std::string row) {
    row = std::regex_replace(row, std::regex(R"((, )?[A-Z0-9]+=same)"), "");
    row = std::regex_replace(row, std::regex(R"(: , )"), ": ");
    row = std::regex_replace(row, std::regex(R"(: $)"), "");
    row = std::regex_replace(row, std::regex(R"(\[?DW_OP[^\]]*?\]?(?=((, |: )[A-Z0-9]+=|$)))"),
                             "DW_OP");
    return row;
}

struct Comparison {
    int rows = 0;
    std::vector<std::string> mismatches;
};

Comparison compare(std::string path, bool arm64) {
    Comparison result;
    // The tool must read this program, not itself.
    if (path == "/proc/self/exe") path = std::filesystem::read_symlink(path).string();
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    Section section = findEhFrame(bytes);
    if (section.start == 0) {
        result.mismatches.push_back("no .eh_frame in " + path);
        return result;
    }
    std::istringstream dump(run(std::string(WV_DWARFDUMP) + " --eh-frame '" + path + "'"));
    std::regex fdeLine(R"(^([0-9a-f]+) [0-9a-f]+ [0-9a-f]+ FDE cie=[0-9a-f]+ pc=([0-9a-f]+)\.\.)");
    std::regex rowLine(R"(^  0x([0-9a-f]+): (.*)$)");
    std::string line;
    // llvm-dwarfdump 14 brings back only the register rules at DW_CFA_restore_state and keeps
    // the CFA, where the standard (and GCC, which relies on it) brings back the whole row. In
    // an FDE that restores a state, our CFA may therefore differ from theirs, but then it
    // must be one of the FDE's earlier CFAs, with the register rules equal.
    bool restoresState = false;
    std::vector<std::string> earlierCFAs;
    auto cfaOf = [](const std::string& row) { return row.substr(0, row.find(": ")); };
    auto rulesOf = [](const std::string& row) {
        size_t colon = row.find(": ");
        return colon == std::string::npos ? std::string() : row.substr(colon);
    };
    QXDwarfCIEFDEPair pair{};
    bool parsed = false;
    uint64_t pcStart = 0;
    QXDwarfDialect dialect = arm64 ? kQXDwarfDialectElfArm64 : kQXDwarfDialectElf;
    while (std::getline(dump, line)) {
        std::smatch m;
        if (std::regex_search(line, m, fdeLine)) {
            uint64_t offset = std::stoull(m[1], nullptr, 16);
            pcStart = std::stoull(m[2], nullptr, 16);
            parsed = QXDwarfParseFDERecord(&pair.fde, true, &pair.cie, section.start + offset,
                                           section.start, section.end);
            if (!parsed) result.mismatches.push_back("FDE at " + std::string(m[1]) + " refused");
            restoresState = false;
            earlierCFAs.clear();
            continue;
        }
        if (line.find("DW_CFA_restore_state") != std::string::npos) restoresState = true;
        if (line.find(" CIE") != std::string::npos) parsed = false;
        if (!parsed || !std::regex_match(line, m, rowLine)) continue;
        uint64_t address = std::stoull(m[1], nullptr, 16);
        QXDwarfState state;
        std::string ours = "refused";
        if (QXDwarfRunToPC(&pair, pair.fde.initialLocation + (address - pcStart), dialect,
                           &state)) {
            ours = render(state, arm64);
        }
        std::string theirs = normalise(m[2]);
        ++result.rows;
        bool restoredCFA =
            restoresState && rulesOf(ours) == rulesOf(theirs) &&
            std::find(earlierCFAs.begin(), earlierCFAs.end(), cfaOf(ours)) != earlierCFAs.end();
        earlierCFAs.push_back(cfaOf(theirs));
        if (ours != theirs && !restoredCFA) {
            result.mismatches.push_back(std::string(m[1]) + ": ours " + ours + " | theirs " +
                                        theirs);
        }
    }
    return result;
}

std::string firstFew(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < 10; ++i) text += lines[i] + "\n";
    return text;
}

struct DumpCase {
    const char* name;
    std::string path;
    bool arm64;
};

class DwarfDumpComparison : public ::testing::TestWithParam<DumpCase> {};

TEST_P(DwarfDumpComparison, everyRowMatches) {
    Comparison c = compare(GetParam().path, GetParam().arm64);
    EXPECT_GT(c.rows, 0);
    EXPECT_TRUE(c.mismatches.empty())
        << c.mismatches.size() << " of " << c.rows << " rows differ:\n"
        << firstFew(c.mismatches);
}

INSTANTIATE_TEST_SUITE_P(
    Objects, DwarfDumpComparison,
    ::testing::Values(DumpCase{"arm64_optimised", WV_UNWIND_FIXTURES "/frames_arm64_O2.o", true},
                      DumpCase{"arm64_unoptimised", WV_UNWIND_FIXTURES "/frames_arm64_O0.o", true},
                      DumpCase{"x86_64_optimised", WV_UNWIND_FIXTURES "/frames_x86_64_O2.o", false},
                      DumpCase{"our_own_program", "/proc/self/exe", false}),
    [](const auto& info) { return std::string(info.param.name); });

// readelf brings back the whole row at DW_CFA_restore_state, the CFA with the register
// rules, as the standard says; so every row of libc, whose functions restore a state around
// early returns (the thread-kill path a crashed abort() stands in among them), must match it
// exactly, with no earlier-CFA tolerance.
struct InterpComparison {
    int rows = 0;
    int restoringFDEs = 0;
    std::vector<std::string> mismatches;
};

std::string cfaText(const QXDwarfState& state) {
    if (state.cfaExpression != 0) return "exp";
    static const char* names[] = {"rax", "rdx", "rcx", "rbx", "rsi", "rdi", "rbp", "rsp", "r8",
                                  "r9",  "r10", "r11", "r12", "r13", "r14", "r15", "rip"};
    if (state.cfaRegister >= 17) return "?";
    return names[state.cfaRegister] + signedOffset(int64_t(state.cfaOffset));
}

// One column of a readelf row against our rule: "u" is a register no rule names (ours: same
// or undefined), "c-N" a register saved at CFA-N; other forms are not compared here.
bool columnMatches(const std::string& theirs, const QXDwarfRegisterRule& ours) {
    if (theirs == "u" || theirs == "s") {
        return ours.kind == QXDwarfRuleSame || ours.kind == QXDwarfRuleUndefined;
    }
    if (theirs.size() > 1 && theirs[0] == 'c' && (theirs[1] == '-' || theirs[1] == '+')) {
        return ours.kind == QXDwarfRuleOffset &&
               int64_t(ours.value) == std::stoll(theirs.substr(1));
    }
    return true;
}

InterpComparison compareWithReadelf(const std::string& path) {
    InterpComparison result;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    Section section = findEhFrame(bytes);
    if (section.start == 0) {
        result.mismatches.push_back("no .eh_frame in " + path);
        return result;
    }
    // The raw listing says which FDEs restore a state; the interpreted one gives the rows.
    std::unordered_map<std::string, bool> restores;
    {
        std::istringstream raw(
            run(std::string(WV_READELF) + " --debug-dump=frames '" + path + "' 2>/dev/null"));
        std::string line, current;
        while (std::getline(raw, line)) {
            if (line.find(" FDE cie=") != std::string::npos) {
                current = line.substr(0, line.find(' '));
            } else if (line.find(" CIE") != std::string::npos) {
                current.clear();
            } else if (!current.empty() && line.find("DW_CFA_restore_state") != std::string::npos) {
                restores[current] = true;
            }
        }
    }
    std::istringstream dump(
        run(std::string(WV_READELF) + " --debug-dump=frames-interp '" + path + "' 2>/dev/null"));
    static const std::unordered_map<std::string, uint64_t> columns = {
        {"rax", 0},  {"rdx", 1},  {"rcx", 2},  {"rbx", 3},  {"rsi", 4},  {"rdi", 5},
        {"rbp", 6},  {"rsp", 7},  {"r8", 8},   {"r9", 9},   {"r10", 10}, {"r11", 11},
        {"r12", 12}, {"r13", 13}, {"r14", 14}, {"r15", 15}, {"ra", 16}};
    QXDwarfCIEFDEPair pair{};
    bool compared = false;
    uint64_t pcStart = 0;
    std::vector<uint64_t> header;
    std::string line;
    while (std::getline(dump, line)) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (w.size() >= 6 && w[3] == "FDE" && w[5].rfind("pc=", 0) == 0) {
            compared = restores.count(w[0]) != 0;
            if (!compared) continue;
            ++result.restoringFDEs;
            pcStart = std::stoull(w[5].substr(3), nullptr, 16);
            if (!QXDwarfParseFDERecord(&pair.fde, true, &pair.cie,
                                       section.start + std::stoull(w[0], nullptr, 16),
                                       section.start, section.end)) {
                result.mismatches.push_back("FDE at " + w[0] + " refused");
                compared = false;
            }
            header.clear();
            continue;
        }
        if (!compared || w.empty()) continue;
        if (w[0] == "LOC") {
            for (size_t i = 2; i < w.size(); ++i) {
                auto found = columns.find(w[i]);
                header.push_back(found == columns.end() ? UINT64_MAX : found->second);
            }
            continue;
        }
        if (w.size() != header.size() + 2 || w[0].size() != 16) continue;
        uint64_t address = std::stoull(w[0], nullptr, 16);
        QXDwarfState state;
        ++result.rows;
        if (!QXDwarfRunToPC(&pair, pair.fde.initialLocation + (address - pcStart),
                            kQXDwarfDialectElf, &state)) {
            result.mismatches.push_back(w[0] + ": refused");
            continue;
        }
        std::string differs;
        if (cfaText(state) != w[1]) differs += " CFA ours " + cfaText(state) + " theirs " + w[1];
        for (size_t i = 0; i < header.size(); ++i) {
            if (header[i] == UINT64_MAX) continue;
            if (!columnMatches(w[i + 2], state.registers[header[i]])) {
                differs += " column " + std::to_string(header[i]) + " theirs " + w[i + 2];
            }
        }
        if (!differs.empty()) result.mismatches.push_back(w[0] + ":" + differs);
    }
    return result;
}

TEST(ReadelfComparison, libcsRowsAroundARestoredStateMatchExactly) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&pthread_kill), &info), 0);
    ASSERT_NE(info.dli_fname, nullptr);
    InterpComparison c = compareWithReadelf(info.dli_fname);
    ASSERT_GT(c.restoringFDEs, 0) << "libc restores no state: the comparison shows nothing";
    EXPECT_GT(c.rows, 0);
    EXPECT_TRUE(c.mismatches.empty())
        << c.mismatches.size() << " of " << c.rows << " rows differ:\n"
        << firstFew(c.mismatches);
}

}  // namespace
}  // namespace wv
