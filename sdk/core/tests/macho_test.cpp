#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <map>
#include <sstream>
#include <tuple>

#include "TestSupport.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNHashing.h"
#include "sdk/core/TRNMachO.h"

namespace wv {
namespace {

using testing::commandOutput;
using testing::fixture;

struct ObjdumpSegment {
    std::string name;
    uint64_t vmAddress = 0;
    uint64_t vmSize = 0;
};

// What llvm-objdump says of one slice.
struct ObjdumpSlice {
    std::string arch;
    std::string uuid;  // lower-case, no dashes
    std::optional<TRNVersionTriple> minimum;
    TRNVersionTriple sdk;
    std::vector<ObjdumpSegment> segments;
};

TRNVersionTriple parseVersion(const std::string& text) {
    TRNVersionTriple v;
    if (text == "n/a") return v;
    std::sscanf(text.c_str(), "%u.%u.%u", &v.major, &v.minor, &v.patch);
    return v;
}

std::string value(const std::string& line) {
    std::istringstream in(line);
    std::string key, rest;
    in >> key >> rest;
    return rest;
}

// Slices of `--private-headers --arch=all`, in the order printed; a thin file is one slice
// whose architecture comes from `--universal-headers`-free naming: the caller gives it.
std::vector<ObjdumpSlice> objdumpSlices(const std::string& path, const std::string& thinArch) {
    const std::string out =
        commandOutput(std::string(WV_OBJDUMP) + " --macho --private-headers --arch=all " +
                      testing::shellQuoted(path));
    std::vector<ObjdumpSlice> slices;
    std::istringstream lines(out);
    std::string line;
    bool inVersionMin = false;
    while (std::getline(lines, line)) {
        if (auto at = line.find("(architecture "); at != std::string::npos) {
            slices.emplace_back().arch = line.substr(at + 14, line.find(')', at) - at - 14);
            continue;
        }
        if (slices.empty()) slices.emplace_back().arch = thinArch;
        auto& slice = slices.back();
        if (line.rfind("  segname ", 0) == 0) {
            slice.segments.emplace_back().name = line.size() > 10 ? line.substr(10) : "";
        } else if (line.rfind("   vmaddr ", 0) == 0 && !slice.segments.empty()) {
            slice.segments.back().vmAddress = std::stoull(value(line), nullptr, 16);
        } else if (line.rfind("   vmsize ", 0) == 0 && !slice.segments.empty()) {
            slice.segments.back().vmSize = std::stoull(value(line), nullptr, 16);
        } else if (line.rfind("    uuid ", 0) == 0) {
            std::string uuid = value(line);
            uuid.erase(std::remove(uuid.begin(), uuid.end(), '-'), uuid.end());
            for (char& c : uuid) c = char(std::tolower(c));
            slice.uuid = uuid;
        } else if (line.find("cmd LC_VERSION_MIN_") != std::string::npos) {
            inVersionMin = true;
        } else if (inVersionMin && line.rfind("  version ", 0) == 0) {
            slice.minimum = parseVersion(value(line));
        } else if (inVersionMin && line.rfind("      sdk ", 0) == 0) {
            slice.sdk = parseVersion(value(line));
            inVersionMin = false;
        }
    }
    return slices;
}

struct ReadSlice {
    std::string arch;
    std::string uuid;
    std::optional<TRNVersionTriple> minimum;
    TRNVersionTriple sdk;
    std::vector<ObjdumpSegment> segments;
};

std::vector<ReadSlice> readSlices(const TRNMachOMappedFile& file) {
    std::vector<ReadSlice> slices;
    TRNMachOEnumerateSlicesInMappedFile(file, [&](const TRNMachOSlice& found) {
        TRNMachOSlice slice = found;
        ReadSlice read;
        read.arch = TRNMachOSliceArchitectureName(slice);
        TRNMachOEnumerateLoadCommands(&slice, [&](uint32_t type, uint32_t size, const uint8_t* c) {
            uint8_t uuid[16];
            if (type == kTRNLoadCommandUUID && TRNMachOLoadCommandGetUUID(c, size, uuid)) {
                read.uuid = TRNMachOUUIDString(uuid);
            } else if (type == kTRNLoadCommandVersionMinMacOSX) {
                read.minimum = TRNMachOLoadCommandGetMinimumOSVersion(c, size);
                read.sdk = TRNMachOLoadCommandGetSDKVersion(c, size);
            } else if (type == kTRNLoadCommandSegment || type == kTRNLoadCommandSegment64) {
                const TRNMachOSegment segment = TRNMachOLoadCommandGetSegment(c, size);
                read.segments.push_back({std::string(segment.name, strnlen(segment.name, 16)),
                                         segment.vmAddress, segment.vmSize});
            }
        });
        slices.push_back(read);
    });
    return slices;
}

struct FixtureCase {
    std::string file;
    std::string thinArch;
    std::vector<std::string> arches;  // in file order
};

TEST(MachO, SlicesAgreeWithObjdump) {
    const std::vector<FixtureCase> cases = {
        {"thin_x86_64", "x86_64", {"x86_64"}},
        {"thin_arm64", "arm64", {"arm64"}},
        {"fat_all", "", {"x86_64", "i386", "arm64"}},
        {"fat_intel", "", {"i386", "x86_64"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TRNMachOMappedFile file;
        ASSERT_TRUE(TRNMachOMappedFileInit(&file, fixture(c.file).c_str()));
        const auto read = readSlices(file);
        const auto expected = objdumpSlices(fixture(c.file).string(), c.thinArch);
        ASSERT_EQ(read.size(), c.arches.size());
        ASSERT_EQ(expected.size(), c.arches.size());
        for (size_t i = 0; i < read.size(); ++i) {
            SCOPED_TRACE(c.arches[i]);
            EXPECT_EQ(read[i].arch, c.arches[i]);
            EXPECT_EQ(expected[i].arch, c.arches[i]);
            EXPECT_EQ(read[i].uuid, expected[i].uuid);
            EXPECT_EQ(read[i].minimum.has_value(), expected[i].minimum.has_value());
            if (read[i].minimum && expected[i].minimum) {
                EXPECT_EQ(*read[i].minimum, *expected[i].minimum);
                EXPECT_EQ(read[i].sdk, expected[i].sdk);
            }
            ASSERT_EQ(read[i].segments.size(), expected[i].segments.size());
            for (size_t s = 0; s < read[i].segments.size(); ++s) {
                EXPECT_EQ(read[i].segments[s].name, expected[i].segments[s].name);
                EXPECT_EQ(read[i].segments[s].vmAddress, expected[i].segments[s].vmAddress);
                EXPECT_EQ(read[i].segments[s].vmSize, expected[i].segments[s].vmSize);
            }
        }
        TRNMachOMappedFileDestroy(&file);
        EXPECT_EQ(file.base, nullptr);
        EXPECT_EQ(file.fileDescriptor, -1);
    }
}

// The fat entries: names, offsets and sizes as `--universal-headers` lists them.
TEST(MachO, FatEntriesAgreeWithObjdump) {
    for (const std::string name : {"fat_all", "fat_intel"}) {
        SCOPED_TRACE(name);
        std::istringstream lines(commandOutput(
            std::string(WV_OBJDUMP) + " --macho --universal-headers " + fixture(name).string()));
        std::vector<std::tuple<std::string, uint64_t, uint64_t>> expected;
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("architecture ", 0) == 0) expected.emplace_back(line.substr(13), 0, 0);
            if (expected.empty()) continue;
            if (line.rfind("    offset ", 0) == 0)
                std::get<1>(expected.back()) = std::stoull(value(line));
            if (line.rfind("    size ", 0) == 0)
                std::get<2>(expected.back()) = std::stoull(value(line));
        }
        TRNMachOMappedFile file;
        ASSERT_TRUE(TRNMachOMappedFileInit(&file, fixture(name).c_str()));
        std::vector<std::tuple<std::string, uint64_t, uint64_t>> read;
        TRNMachOEnumerateSlicesInMappedFile(file, [&](const TRNMachOSlice& slice) {
            read.emplace_back(TRNMachOSliceArchitectureName(slice),
                              uint64_t(slice.header - file.base), slice.size);
        });
        TRNMachOMappedFileDestroy(&file);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(read, expected);
    }
}

TEST(MachO, VersionMinOfTheThinIntelFixture) {
    // The fixture was linked with -platform_version macos 10.11 10.13.2.
    auto model = TRNApplicationIdentiferModel::initWithInstallID("X", fixture("thin_x86_64"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->minimumSDKString(), "10.11.0");
    EXPECT_EQ(model->builtSDKString(), "10.13.2");
    EXPECT_EQ(TRNVersionTripleFromWord(0x000a0d02), (TRNVersionTriple{10, 13, 2}));
    const TRNVersionTriple triple{10, 13, 2};
    EXPECT_EQ(TRNVersionTripleString(&triple), "10.13.2");
    EXPECT_EQ(TRNVersionTripleString(nullptr), std::nullopt);
}

// The instance identifier hashes every slice's UUID, in ascending order of the names.
TEST(MachO, InstanceIdentifierHashesTheSortedSlices) {
    for (const std::string name : {"thin_x86_64", "thin_arm64", "fat_all", "fat_intel"}) {
        SCOPED_TRACE(name);
        auto model = TRNApplicationIdentiferModel::initWithInstallID("X", fixture(name));
        ASSERT_TRUE(model);
        std::map<std::string, std::string> expected;
        for (const auto& s :
             objdumpSlices(fixture(name).string(), name == "thin_arm64" ? "arm64" : "x86_64")) {
            if (!s.uuid.empty()) expected[s.arch] = s.uuid;
        }
        EXPECT_EQ(model->architectureUUIDMap(), expected);
        std::string joined;
        for (const auto& [arch, uuid] : expected) joined += uuid;
        EXPECT_EQ(model->instanceIdentifier(), testing::toolDigest("sha1sum", joined));
    }
}

std::vector<uint8_t> withUUIDCommandRenumbered(std::vector<uint8_t> bytes) {
    // Thin 64-bit file: commands start 32 bytes in.
    uint32_t count;
    std::memcpy(&count, &bytes[16], 4);
    size_t offset = 32;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t type, size;
        std::memcpy(&type, &bytes[offset], 4);
        std::memcpy(&size, &bytes[offset + 4], 4);
        if (type == kTRNLoadCommandUUID) {
            const uint32_t other = 0x7777;
            std::memcpy(&bytes[offset], &other, 4);
        }
        offset += size;
    }
    return bytes;
}

TEST(MachO, WithoutUUIDTheMapIsEmpty) {
    const auto copy =
        std::filesystem::temp_directory_path() / ("wv-nouuid-" + std::to_string(getpid()));
    testing::writeBytes(copy,
                        withUUIDCommandRenumbered(testing::readBytes(fixture("thin_x86_64"))));
    auto model = TRNApplicationIdentiferModel::initWithInstallID("X", copy);
    ASSERT_TRUE(model);
    EXPECT_TRUE(model->architectureUUIDMap().empty());
    EXPECT_EQ(model->instanceIdentifier(), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    std::filesystem::remove(copy);
}

TEST(MachO, SectionsAndArchitectureLookup) {
    TRNMachOMappedFile file;
    ASSERT_TRUE(TRNMachOMappedFileInit(&file, fixture("fat_all").c_str()));
    TRNMachOSlice arm = TRNMachOSliceForArchitectureName(file, "arm64");
    ASSERT_NE(arm.header, nullptr);
    EXPECT_TRUE(TRNMachOSliceIs64Bit(arm));
    EXPECT_EQ(TRNMachOSliceForArchitectureName(file, "ppc").header, nullptr);
    auto text = TRNMachOSliceGetSection(arm, "__TEXT", "__text");
    ASSERT_TRUE(text);
    // The section's own bytes as objdump prints them agree with the reader's offset.
    const uint8_t* data = TRNMachOSliceSectionData(arm, "__TEXT", "__text");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data, arm.header + text->offset);
    const std::string listed =
        commandOutput(std::string(WV_OBJDUMP) + " --macho --section-headers --arch=arm64 " +
                      fixture("fat_all").string());
    std::ostringstream size;
    size << std::hex << std::setfill('0') << std::setw(8) << text->size;
    EXPECT_NE(listed.find(size.str()), std::string::npos) << listed;
    EXPECT_FALSE(TRNMachOSliceGetSection(arm, "__TEXT", "__nothing"));
    TRNMachOSlice i386 = TRNMachOSliceForArchitectureName(file, "i386");
    EXPECT_FALSE(TRNMachOSliceIs64Bit(i386));
    EXPECT_TRUE(TRNMachOSliceGetSection(i386, "__TEXT", "__text"));
    TRNMachOMappedFileDestroy(&file);
}

TEST(MachO, ArchitectureNames) {
    const std::vector<std::tuple<int32_t, int32_t, std::string>> cases = {
        {0x0100000c, 0, "arm64"},
        {0x0100000c, 2, "arm64e"},
        {0x0100000c, 1, "arm64v8"},
        {12, 11, "armv7s"},
        {12, 12, "armv7k"},
        {12, 9, "armv7"},
        {7, 3, "i386"},
        {0x01000007, 3, "x86_64"},
        {0x01000007, int32_t(0x80000003), "x86_64"},  // the LIB64 capability bit
        {0x01000007, 8, "x86_64h"},
        {18, 0, "ppc"},
        {0x01000007, 99, "unknown"},
        {0, 0, "unknown"},
    };
    for (const auto& [type, subtype, name] : cases) {
        EXPECT_EQ(TRNMachOArchitectureName(type, subtype), name) << type << "/" << subtype;
    }
}

TEST(MachO, LoadCommandReadersRefuseShortCommands) {
    uint8_t command[64] = {};
    uint8_t uuid[16];
    EXPECT_FALSE(TRNMachOLoadCommandGetUUID(command, 23, uuid));
    EXPECT_TRUE(TRNMachOLoadCommandGetUUID(command, 24, uuid));
    EXPECT_EQ(TRNMachOLoadCommandGetMinimumOSVersion(command, 15), TRNVersionTriple{});
    const uint32_t words[] = {0x24, 16, 0x000a0b00, 0x000a0d02};
    std::memcpy(command, words, sizeof words);
    EXPECT_EQ(TRNMachOLoadCommandGetSDKVersion(command, 16), (TRNVersionTriple{10, 13, 2}));
    // A dylib name must start inside the command and end with a NUL inside it.
    const uint32_t dylib[] = {0xc, 32, 24, 0, 0, 0};
    std::memcpy(command, dylib, sizeof dylib);
    std::memcpy(command + 24, "libz\0", 5);
    EXPECT_STREQ(TRNMachOLoadCommandGetDylibName(command, 32), "libz");
    EXPECT_EQ(TRNMachOLoadCommandGetDylibName(command, 26), nullptr);
    const uint32_t beyond[] = {0xc, 32, 40};
    std::memcpy(command, beyond, sizeof beyond);
    EXPECT_EQ(TRNMachOLoadCommandGetDylibName(command, 32), nullptr);
    const uint32_t crypt[] = {0x2c, 24, 0, 0, 1};
    std::memcpy(command, crypt, sizeof crypt);
    EXPECT_TRUE(TRNMachOLoadCommandIsEncrypted(command, 24));
    EXPECT_FALSE(TRNMachOLoadCommandIsEncrypted(command, 19));
    const uint32_t segment32[] = {0x1, 56, 0x45545f5f, 0x00005458, 0, 0, 0x1000, 0x2000};
    std::memcpy(command, segment32, sizeof segment32);
    const auto segment = TRNMachOLoadCommandGetSegment(command, 56);
    EXPECT_EQ(std::string(segment.name, strnlen(segment.name, 16)), "__TEXT");
    EXPECT_EQ(segment.vmAddress, 0x1000u);
    EXPECT_EQ(segment.vmSize, 0x2000u);
    EXPECT_EQ(TRNMachOLoadCommandGetSegment(command, 40).vmSize, 0u);
}

}  // namespace
}  // namespace wv
