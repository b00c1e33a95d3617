// Naming a crashed run's addresses in this process: images matched by UUID, addresses moved
// by the difference of the load addresses, names from the image file's own symbol table.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/foundation/Log.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/report/QXSymbolResolver.h"
#include "sdk/crash/report/tests/ReportTestSupport.h"

// Functions laid out by hand, local to this file (so only the file's symbol table knows
// them): one that ends in a call that never returns, directly followed by the next function,
// and one that ends the same way before alignment padding.
asm(R"(
    .pushsection .text
    .p2align 4
    .type wvResolverCallsLast, @function
wvResolverCallsLast:
    call abort@PLT
    .size wvResolverCallsLast, .-wvResolverCallsLast
    .type wvResolverNext, @function
wvResolverNext:
    nop
    nop
    ret
    .size wvResolverNext, .-wvResolverNext
    .type wvResolverBeforePadding, @function
wvResolverBeforePadding:
    call abort@PLT
    .size wvResolverBeforePadding, .-wvResolverBeforePadding
    .p2align 6
    .type wvResolverAfterPadding, @function
wvResolverAfterPadding:
    ret
    .size wvResolverAfterPadding, .-wvResolverAfterPadding
    .popsection
)");

extern "C" void wvResolverCallsLast();
extern "C" void wvResolverNext();
extern "C" void wvResolverBeforePadding();

namespace wv::test {
namespace {

uint64_t addressOf(void (*function)()) { return reinterpret_cast<uint64_t>(function); }

constexpr uint64_t kShift = 0x40000000;  // where the crashed run had the images, from here
constexpr uint64_t kCallSize = 5;

class Resolver : public ::testing::Test {
  protected:
    void SetUp() override {
        self_ = imageHolding(addressOf(wvResolverNext));
        ASSERT_NE(self_.uuid[0], '\0') << "the test program has no build-id";
        std::vector<nlohmann::json> lines;
        for (const auto& image : loadedImages()) lines.push_back(loadLine(image, kShift));
        writeLines(folder_ / "binary_images.qxrecord", lines);
        ASSERT_TRUE(resolver_.loadBinaryImagesFromFile(folder_ / "binary_images.qxrecord"));
    }

    // The address a function had in the crashed run.
    static uint64_t recorded(uint64_t here) { return here + kShift; }

    QXStackFrame resolve(uint64_t address, QXSymbolResolver::FrameKind kind) {
        QXStackFrame frame = QXStackFrame::stackFrameWithAddress(address);
        resolved_ = resolver_.updateStackFrame(frame, kind);
        return frame;
    }

    TempFolder folder_;
    QXBinaryImageDetails self_;
    QXSymbolResolver resolver_;
    bool resolved_ = false;
};

using Kind = QXSymbolResolver::FrameKind;

struct FrameCase {
    const char* label;
    void (*function)();
    uint64_t distance;  // from the function's start
    Kind kind;
    const char* symbol;
    uint64_t offset;
};

// Names the case in test output, rather than its bytes.
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.label; }

const FrameCase kFrameCases[] = {
    // A thread's own instruction pointer is looked up as it is.
    {"pc_at_a_start", wvResolverNext, 0, Kind::InstructionPointer, "wvResolverNext", 0},
    {"pc_inside", wvResolverNext, 1, Kind::InstructionPointer, "wvResolverNext", 1},
    // A return address at the start of a function belongs to the call before it.
    {"return_at_a_start", wvResolverNext, 0, Kind::ReturnAddress, "wvResolverCallsLast",
     kCallSize - 2},
    {"return_inside", wvResolverNext, 2, Kind::ReturnAddress, "wvResolverNext", 2},
    // ...and so does one just past a function's end, in the padding before the next.
    {"return_into_padding", wvResolverBeforePadding, kCallSize, Kind::ReturnAddress,
     "wvResolverBeforePadding", kCallSize - 2},
};

class Frames : public Resolver, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(Frames, AreNamedFromTheImageFilesSymbolTable) {
    const FrameCase& c = GetParam();
    QXStackFrame frame = resolve(recorded(addressOf(c.function) + c.distance), c.kind);
    ASSERT_TRUE(resolved_);
    EXPECT_EQ(frame.symbol, c.symbol);
    EXPECT_EQ(frame.rawSymbol, c.symbol);
    EXPECT_EQ(frame.offset, c.offset);
    EXPECT_EQ(frame.library, std::filesystem::path(self_.path).filename().string());
    EXPECT_EQ(frame.address, recorded(addressOf(c.function) + c.distance));
}

INSTANTIATE_TEST_SUITE_P(Resolver, Frames, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Resolver, NamesWhatTheFileCannotThroughTheLoader) {
    // The C library ships without a symbol table; the loader knows its exported names.
    const uint64_t here = addressOf(reinterpret_cast<void (*)()>(&abort)) + 1;
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(here), &info), 0);
    ASSERT_NE(info.dli_sname, nullptr);
    QXStackFrame frame = resolve(recorded(here), Kind::InstructionPointer);
    ASSERT_TRUE(resolved_);
    EXPECT_EQ(frame.symbol, info.dli_sname);
    EXPECT_EQ(frame.offset, here - reinterpret_cast<uint64_t>(info.dli_saddr));
    EXPECT_EQ(frame.library, std::filesystem::path(imageHolding(here).path).filename().string());
}

TEST_F(Resolver, LeavesAFrameItCannotPlaceAsItWas) {
    for (uint64_t address : {uint64_t(0), uint64_t(1), addressOf(wvResolverNext)}) {
        QXStackFrame frame = resolve(address, Kind::ReturnAddress);
        EXPECT_FALSE(resolved_) << address;
        EXPECT_EQ(frame.symbol, std::nullopt);
        EXPECT_EQ(frame.library, std::nullopt);
        EXPECT_EQ(frame.offset, 0u);
        EXPECT_FALSE(resolver_.frameForAddress(address));
    }
    auto frame =
        resolver_.frameForAddress(recorded(addressOf(wvResolverNext)), Kind::InstructionPointer);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->symbol, "wvResolverNext");
}

TEST(SymbolResolver, AnImageWhoseUUIDIsNotLoadedHereResolvesNothing) {
    TempFolder folder;
    QXBinaryImageDetails self = imageHolding(addressOf(wvResolverNext));
    nlohmann::json line = loadLine(self);
    line["load"]["uuid"] = std::string(40, '0');
    nlohmann::json noUUID = loadLine(self, 1ull << 40);
    noUUID["load"].erase("uuid");
    writeLines(folder / "binary_images.qxrecord", {line, noUUID});
    QXSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(folder / "binary_images.qxrecord"));
    for (uint64_t address :
         {addressOf(wvResolverNext), uint64_t(addressOf(wvResolverNext) + (1ull << 40))}) {
        QXStackFrame frame = QXStackFrame::stackFrameWithAddress(address);
        EXPECT_FALSE(resolver.updateStackFrame(frame, Kind::InstructionPointer));
        EXPECT_EQ(frame.symbol, std::nullopt);
        EXPECT_EQ(frame.library, std::nullopt);
    }
    QXBinaryImageDetails details;
    EXPECT_FALSE(resolver.fillInImageDetails(nullptr, std::string(self.uuid)));
    EXPECT_FALSE(resolver.fillInImageDetails(&details, std::nullopt));
    ASSERT_TRUE(resolver.fillInImageDetails(&details, std::string(self.uuid)));
    EXPECT_EQ(details.node.baseAddress, self.node.baseAddress);
}

TEST(SymbolResolver, KeepsOnlyLoadsWithANumericBaseAndSizeSortedByBase) {
    TempFolder folder;
    writeFile(folder / "binary_images.qxrecord",
              "{\"load\":{\"path\":\"/b\",\"uuid\":\"bb\",\"base\":8192,\"size\":4096}}\n"
              "garbage\n"
              "{\"load\":{\"path\":\"/a\",\"uuid\":\"aa\",\"base\":4096,\"size\":4096}}\n"
              "{\"unload\":{\"path\":\"/u\",\"uuid\":\"uu\",\"base\":16384,\"size\":4096}}\n"
              "{\"load\":{\"path\":\"/n\",\"uuid\":\"nn\",\"base\":null,\"size\":4096}}\n"
              "{\"load\":{\"path\":\"/s\",\"uuid\":\"ss\",\"base\":\"20480\",\"size\":4096}}\n"
              "{\"load\":{\"path\":\"/m\",\"uuid\":\"mm\",\"base\":24576}}\n"
              "{\"load\":{\"path\":\"/f\",\"uuid\":\"ff\",\"base\":28672,\"size\":-1}}\n"
              "{\"load\":[1,2]}\n"
              "{\"load\":{\"path\":\"/t\",\"uuid\":\"tt\",\"base\":32768,\"si");
    QXSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(folder / "binary_images.qxrecord"));
    std::vector<std::string> paths;
    for (const auto& image : resolver.binaryImages()) paths.push_back(image["path"]);
    EXPECT_EQ(paths, (std::vector<std::string>{"/a", "/b"}));

    struct {
        uint64_t address;
        const char* path;
    } lookups[] = {{4096, "/a"}, {8191, "/a"}, {8192, "/b"}, {12287, "/b"}};
    for (const auto& l : lookups) {
        auto image = resolver.loadedBinaryImageForPC(l.address);
        ASSERT_TRUE(image) << l.address;
        EXPECT_EQ((*image)["path"], l.path);
    }
    for (uint64_t address : {uint64_t(4095), uint64_t(12288), uint64_t(16384), uint64_t(20480)})
        EXPECT_FALSE(resolver.loadedBinaryImageForPC(address)) << address;
}

TEST(SymbolResolver, AnImageNearTheTopOfTheAddressSpaceDoesNotWrap) {
    TempFolder folder;
    writeFile(folder / "binary_images.qxrecord",
              "{\"load\":{\"path\":\"/top\",\"uuid\":\"aa\",\"base\":18446744073709547520,"
              "\"size\":8192}}\n");
    QXSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(folder / "binary_images.qxrecord"));
    EXPECT_TRUE(resolver.loadedBinaryImageForPC(18446744073709547521ull));
    EXPECT_FALSE(resolver.loadedBinaryImageForPC(100));
}

TEST(SymbolResolver, OnlyUnloadsLoadNoImageAndResolveNothing) {
    TempFolder folder;
    QXBinaryImageDetails self = imageHolding(addressOf(wvResolverNext));
    nlohmann::json line = loadLine(self);
    writeLines(folder / "binary_images.qxrecord", {{{"unload", line["load"]}}});
    QXSymbolResolver resolver;
    EXPECT_TRUE(resolver.loadBinaryImagesFromFile(folder / "binary_images.qxrecord"));
    EXPECT_TRUE(resolver.binaryImages().empty());
    EXPECT_FALSE(resolver.frameForAddress(addressOf(wvResolverNext)));
}

TEST(SymbolResolver, AnImagesFileWithNoLineFailsAndSaysWhich) {
    TempFolder folder;
    writeFile(folder / "empty.qxrecord", "");
    writeFile(folder / "garbage.qxrecord", "garbage\n{\"load\":");
    std::filesystem::create_directory(folder / "folder.qxrecord");
    for (const char* name :
         {"missing.qxrecord", "empty.qxrecord", "garbage.qxrecord", "folder.qxrecord"}) {
        LogCapture log;
        QXSymbolResolver resolver;
        EXPECT_FALSE(resolver.loadBinaryImagesFromFile(folder / name)) << name;
        EXPECT_TRUE(
            log.contains("[Quellix:Crash:SymbolResolver] failed to read binary image file " +
                         (folder / name).string()))
            << name;
    }
    QXSymbolResolver resolver;
    EXPECT_FALSE(resolver.loadBinaryImagesFromFile(""));
}

}  // namespace
}  // namespace wv::test
