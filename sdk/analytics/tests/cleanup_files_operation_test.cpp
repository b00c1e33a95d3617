#include <gtest/gtest.h>

#include <map>

#include "EventFilesFixtures.h"
#include "sdk/analytics/PLRCleanupFilesOperation.h"
#include "sdk/analytics/PLRFileUtils.h"
#include "sdk/analytics/PLRPackageLogOperation.h"

namespace wv {
namespace {

using testing::freshFolder;
using testing::names;
using testing::readFile;
using testing::shell;
using testing::writeFile;
using Paths = PLRCleanupFilesOperation::Paths;

struct Outcome {
    Paths logs, compressed, bodies;
    bool called = false;
};

Outcome cleanUp(const std::filesystem::path& dir, int64_t maximum = 100) {
    Outcome out;
    PLRCleanupFilesOperation op(dir, maximum);
    op.setSuccessBlock([&](const Paths& l, const Paths& c, const Paths& b) {
        out.logs = l;
        out.compressed = c;
        out.bodies = b;
        out.called = true;
    });
    op.main();
    return out;
}

std::string gzip(const std::filesystem::path& at) {
    shell("printf 'x\\n' | gzip -c > '" + at.string() + "'");
    return readFile(at);
}

// Creation dates the test sets: seconds since 1970 by file name; a name not listed has none.
class FakeDates {
  public:
    explicit FakeDates(std::map<std::string, int> dates) {
        PLRFileUtils::setCreatedDateSourceForTesting(
            [dates](const std::filesystem::path& p) -> std::optional<PLRFileUtils::Date> {
                auto it = dates.find(p.filename().string());
                if (it == dates.end()) return std::nullopt;
                return PLRFileUtils::Date(std::chrono::seconds(it->second));
            });
    }
    ~FakeDates() { PLRFileUtils::setCreatedDateSourceForTesting(nullptr); }
};

TEST(CleanupFilesOperation, SortsEntriesByStageAndRemovesWhatBelongsToNone) {
    const auto dir = freshFolder();
    writeFile(dir / "A.log", "1\tmetadata\t2\t{}\n");
    gzip(dir / "A.gz");  // superseded by A.log
    gzip(dir / "B.gz");
    writeFile(dir / "C.multipartmime", "body");
    writeFile(dir / "notes.txt", "x");
    writeFile(dir / "noextension", "x");
    writeFile(dir / "D.gz.partial", "half");
    writeFile(dir / std::string("\xff\xfe.tmp"), "x");
    std::filesystem::create_directory(dir / "E.log");
    writeFile(dir / "E.log" / "inner", "x");
    std::filesystem::create_symlink(dir / "B.gz", dir / "F.gz");

    const Outcome out = cleanUp(dir);
    ASSERT_TRUE(out.called);
    EXPECT_EQ(out.logs, Paths{dir / "A.log"});
    EXPECT_EQ(out.compressed, Paths{dir / "B.gz"});
    EXPECT_EQ(out.bodies, Paths{dir / "C.multipartmime"});
    EXPECT_EQ(names(dir), "A.log B.gz C.multipartmime");
}

TEST(CleanupFilesOperation, ACompressedLogWhoseBodyExistsIsRemoved) {
    const auto dir = freshFolder();
    gzip(dir / "G.gz");
    const auto boundary = PLRPackageLogOperation::boundaryForCompressedURL(dir / "G.gz");
    writeFile(dir / (boundary + ".multipartmime"), "body");
    const Outcome out = cleanUp(dir);
    EXPECT_TRUE(out.compressed.empty());
    EXPECT_EQ(out.bodies, Paths{dir / (boundary + ".multipartmime")});
    EXPECT_FALSE(std::filesystem::exists(dir / "G.gz"));
}

// A crash can cut the last line of a log; later stages must only ever see whole lines.
TEST(CleanupFilesOperation, ALeftoverLogIsCutBackToItsLastLineFeed) {
    struct Case {
        const char* name;
        std::string content;
        std::optional<std::string> after;  // none: removed
    };
    const std::string whole = "1\tmetadata\t2\t{}\n2\tcustom\t2\t{}\n";
    const std::vector<Case> cases = {
        {"whole", whole, whole},
        {"cut event", whole + "3\tcus", whole},
        {"cut metadata", "1\tmeta", std::nullopt},
        {"empty", "", std::nullopt},
        {"long tail", "1\tmetadata\t2\t{}\n" + std::string(10000, 'y'), "1\tmetadata\t2\t{}\n"},
    };
    for (const auto& c : cases) {
        const auto dir = freshFolder(c.name);
        writeFile(dir / "H.log", c.content);
        const Outcome out = cleanUp(dir);
        if (c.after) {
            EXPECT_EQ(out.logs, Paths{dir / "H.log"}) << c.name;
            EXPECT_EQ(readFile(dir / "H.log"), *c.after) << c.name;
        } else {
            EXPECT_TRUE(out.logs.empty()) << c.name;
            EXPECT_FALSE(std::filesystem::exists(dir / "H.log")) << c.name;
        }
    }
}

TEST(CleanupFilesOperation, BodiesBeyondTheMaximumGoOldestFirst) {
    const auto dir = freshFolder();
    std::map<std::string, int> dates;
    for (int i = 0; i < 103; ++i) {
        const std::string name = "body" + std::to_string(i) + ".multipartmime";
        writeFile(dir / name, "x");
        // Dates out of name order, so sorting by name would keep the wrong ones.
        dates[name] = 1000000 + (i * 37) % 103;
    }
    FakeDates fake(dates);
    const Outcome out = cleanUp(dir, 100);
    EXPECT_EQ(out.bodies.size(), 100u);
    for (const auto& [name, date] : dates) {
        const bool oldest = date < 1000003;
        EXPECT_EQ(std::filesystem::exists(dir / name), !oldest) << name;
        EXPECT_EQ(out.bodies.count(dir / name) == 1, !oldest) << name;
    }
}

TEST(CleanupFilesOperation, TrimmingLimits) {
    struct Case {
        const char* name;
        int64_t maximum;
        std::vector<std::string> kept;
    };
    // c has no readable date: it counts as the oldest.
    const std::vector<Case> cases = {
        {"all fit", 3, {"a", "b", "c"}},
        {"one too many", 2, {"b", "a"}},
        {"zero", 0, {}},
        {"negative counts as huge", -1, {"a", "b", "c"}},
    };
    for (const auto& c : cases) {
        const auto dir = freshFolder(c.name);
        std::vector<std::filesystem::path> files;
        for (const char* n : {"a", "b", "c"}) {
            writeFile(dir / n, "x");
            files.push_back(dir / n);
        }
        FakeDates fake({{"a", 10}, {"b", 20}});
        const auto kept = PLRCleanupFilesOperation::URLsByRemovingOldFiles(files, c.maximum);
        std::vector<std::string> keptNames;
        for (const auto& k : kept) keptNames.push_back(k.filename().string());
        if (c.maximum >= 0 && size_t(c.maximum) < files.size()) {
            EXPECT_EQ(keptNames, c.kept) << c.name;
        } else {
            EXPECT_EQ(kept, files) << c.name;
        }
        for (const char* n : {"a", "b", "c"}) {
            const bool wanted = std::find(c.kept.begin(), c.kept.end(), n) != c.kept.end();
            EXPECT_EQ(std::filesystem::exists(dir / n), wanted) << c.name << " " << n;
        }
    }
}

TEST(CleanupFilesOperation, AnUnreadableFolderGivesThreeEmptySets) {
    const auto dir = freshFolder();
    writeFile(dir / "events", "a file, not a folder");
    testing::KitLog log;
    const Outcome out = cleanUp(dir / "events");
    ASSERT_TRUE(out.called);
    EXPECT_TRUE(out.logs.empty() && out.compressed.empty() && out.bodies.empty());
    EXPECT_EQ(readFile(dir / "events"), "a file, not a folder");
    bool said = false;
    for (const auto& line : log.lines())
        said |=
            line.rfind("[Plurio] Unable to read contents of " + (dir / "events").string(), 0) == 0;
    EXPECT_TRUE(said);
}

}  // namespace
}  // namespace wv
