#include <gtest/gtest.h>

#include "EventFilesFixtures.h"
#include "sdk/analytics/PLRFileUtils.h"

namespace wv {
namespace {

using testing::freshFolder;
using testing::writeFile;

TEST(FileUtils, ListsEntriesAndFiltersByExtension) {
    const auto dir = freshFolder();
    writeFile(dir / "a.log", "x");
    writeFile(dir / "b.log", "x");
    writeFile(dir / "c.gz", "x");
    writeFile(dir / ".log", "x");
    std::filesystem::create_directory(dir / "sub.log");
    writeFile(dir / "sub.log" / "inner.log", "x");
    using Set = std::set<std::filesystem::path>;
    EXPECT_EQ(PLRFileUtils::allFilesInDirectory(dir),
              (Set{dir / "a.log", dir / "b.log", dir / "c.gz", dir / ".log", dir / "sub.log"}));
    EXPECT_EQ(PLRFileUtils::filesWithExtension("log", dir),
              (Set{dir / "a.log", dir / "b.log", dir / "sub.log"}));
    EXPECT_TRUE(PLRFileUtils::allFilesInDirectory(dir / "missing").empty());
}

TEST(FileUtils, NamesAndExtensions) {
    struct Case {
        const char* path;
        const char* base;
        const char* extension;
    };
    for (const auto& c : std::vector<Case>{{"/d/A.log", "A", "log"},
                                           {"/d/A.gz.partial", "A.gz", "partial"},
                                           {"/d/noext", "noext", ""},
                                           {"/d/.hidden", ".hidden", ""},
                                           {"/d/B.multipartmime", "B", "multipartmime"}}) {
        EXPECT_EQ(PLRFileUtils::baseName(c.path), c.base) << c.path;
        EXPECT_EQ(PLRFileUtils::pathExtension(c.path), c.extension) << c.path;
    }
}

TEST(FileUtils, SizesAndDatesFallBackWhenUnreadable) {
    const auto dir = freshFolder();
    writeFile(dir / "f", std::string(1234, 'x'));
    EXPECT_EQ(PLRFileUtils::fileSizeAtURL(dir / "f"), 1234u);
    EXPECT_EQ(PLRFileUtils::fileSizeAtURL(dir / "missing"), 0u);
    const auto fallback = PLRFileUtils::Date(std::chrono::seconds(42));
    EXPECT_EQ(PLRFileUtils::fileCreatedDateAtURL(dir / "missing", fallback), fallback);
    const auto made = PLRFileUtils::fileCreatedDateAtURL(dir / "f", fallback);
    const auto now = std::chrono::system_clock::now();
    EXPECT_LE(made, now);
    EXPECT_GT(made, now - std::chrono::minutes(5));
}

}  // namespace
}  // namespace wv
