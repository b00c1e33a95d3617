// The rule table our runner builds at every row that llvm-dwarfdump prints, for objects
// built for arm64 and for our own x86-64 program.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
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

}  // namespace
}  // namespace wv
