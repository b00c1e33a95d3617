#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/plist/Value.h"
#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"

namespace wv {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> names(const std::vector<fs::path>& paths) {
    std::vector<std::string> out;
    for (const auto& p : paths) out.push_back(p.filename().string());
    return out;
}

// Every entry under a folder, relative to it, files with their contents.
std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        out[rel] = e.is_directory() ? "/" : readFile(e.path());
    }
    return out;
}

mode_t permissions(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

bool logged(const LogCapture& log, const std::string& prefix) {
    for (const auto& line : log.lines())
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

// A tree of the test's own under the caches folder the test main made.
class QXFileManagerTest : public ::testing::Test {
  protected:
    QXFileManagerTest()
        : files_(Folders::cacheHome() / "trees" /
                 ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
    ~QXFileManagerTest() override { fs::remove_all(files_.rootPath()); }

    QXFileManager files_;
    LogCapture log_;
};

TEST(QXFileManagerRoot, TheRootIsNamedByTheBundleIdentifier) {
    const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
        {"com.example.app", "com.example.app"},
        {"com/example/app", "com_example_app"},
        // Anything else would make the root the shared folder or the caches folder itself,
        // which the legacy removal would then take whole.
        {std::nullopt, "_"},
        {"", "_"},
        {".", "_."},
        {"..", "_.."},
    };
    int n = 0;
    for (const auto& [identifier, expected] : cases) {
        // A folder of its own for each case: the main bundle's Info.plist is read again only
        // when the folder changes.
        const fs::path bundleRoot = Folders::dataHome() / ("bundle" + std::to_string(n++));
        fs::create_directories(bundleRoot);
        plist::Dictionary info;
        if (identifier) info.set("CFBundleIdentifier", plist::Value(*identifier));
        plist::writeFile(bundleRoot / "Info.plist", plist::Value(info));
        ScopedMainBundle bundle(bundleRoot);
        EXPECT_EQ(QXFileManager::pathNamespace(), expected);
        const QXFileManager files;
        const fs::path root = Folders::cacheHome() / "com.quellix.data" / expected;
        EXPECT_EQ(files.rootPath(), root);
        EXPECT_EQ(files.structurePath(), root / "v3");
        EXPECT_EQ(files.activePath(), root / "v3" / "active");
        EXPECT_EQ(files.pendingPath(), root / "v3" / "pending");
        EXPECT_EQ(files.processingPath(), root / "v3" / "processing");
        EXPECT_EQ(files.preparedPath(), root / "v3" / "prepared");
        EXPECT_FALSE(fs::exists(root)) << "nothing is created before it is asked for";
        fs::remove_all(bundleRoot);
    }
}

TEST_F(QXFileManagerTest, PreparationMakesThreeFoldersWithTheirPermissions) {
    const mode_t previous = umask(077);
    EXPECT_TRUE(files_.prepareForNewLaunch());
    umask(previous);
    for (const auto& folder : {files_.rootPath(), files_.structurePath(), files_.activePath(),
                               files_.processingPath(), files_.preparedPath()}) {
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_EQ(permissions(folder), 0755u) << folder;
    }
    EXPECT_FALSE(fs::exists(files_.pendingPath()));
    // A second launch finds everything in place.
    writeFile(files_.activePath() / "run" / "signal.qxrecord", "x");
    EXPECT_TRUE(files_.prepareForNewLaunch());
    EXPECT_EQ(readFile(files_.activePath() / "run" / "signal.qxrecord"), "x");
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(QXFileManagerTest, PreparationStopsAtTheFirstFolderItCannotMake) {
    writeFile(files_.processingPath(), "a file where a folder belongs");
    EXPECT_FALSE(files_.prepareForNewLaunch());
    EXPECT_TRUE(fs::is_directory(files_.activePath()));
    EXPECT_FALSE(fs::exists(files_.preparedPath()));
    EXPECT_TRUE(logged(log_, "[FileManager] Unable to create directory "));
}

TEST_F(QXFileManagerTest, ARunsFolderIsMadeOnlyForAPlainName) {
    ASSERT_TRUE(files_.prepareForNewLaunch());
    const auto path = files_.setupNewPathForExecutionIdentifier("0A1B2C");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, files_.activePath() / "0A1B2C");
    EXPECT_TRUE(fs::is_directory(*path));
    for (const std::string bad : {"", ".", "..", "../escape", "a/b"}) {
        EXPECT_FALSE(files_.setupNewPathForExecutionIdentifier(bad)) << bad;
    }
    EXPECT_EQ(names(files_.activePathContents()), std::vector<std::string>{"0A1B2C"});
    EXPECT_FALSE(fs::exists(files_.structurePath() / "escape"));
}

TEST_F(QXFileManagerTest, TheLegacyLayoutGoesBeforeTheNewOneIsPrepared) {
    writeFile(files_.rootPath() / "sendable" / "old.report", "old");
    writeFile(files_.activePath() / "earlier" / "signal.qxrecord", "earlier run");
    ASSERT_TRUE(files_.prepareForNewLaunch());
    const auto run = files_.setupNewPathForExecutionIdentifier("current");
    ASSERT_TRUE(run);
    writeFile(*run / "metadata.qxrecord", "this run");
    EXPECT_TRUE(log_.contains("[Quellix:FileManager] Removed legacy structure at " +
                              files_.rootPath().string()));
    // The removal the start queued runs afterwards and finds nothing left to remove.
    log_.clear();
    files_.removeLegacyDirectories();
    EXPECT_EQ(tree(files_.rootPath()),
              (std::map<std::string, std::string>{{"v3", "/"},
                                                  {"v3/active", "/"},
                                                  {"v3/active/current", "/"},
                                                  {"v3/active/current/metadata.qxrecord",
                                                   "this run"},
                                                  {"v3/prepared", "/"},
                                                  {"v3/processing", "/"}}));
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(QXFileManagerTest, TheQueuedRemovalAndThePreparationRaceWithoutLosingTheRun) {
    // However the two interleave, the current run's folder is there when both are done.
    for (int round = 0; round < 20; ++round) {
        fs::remove_all(files_.rootPath());
        writeFile(files_.rootPath() / "sendable", "");
        std::thread queued([&] { files_.removeLegacyDirectories(); });
        const bool prepared = files_.prepareForNewLaunch();
        const auto run = files_.setupNewPathForExecutionIdentifier("current");
        queued.join();
        EXPECT_TRUE(prepared);
        ASSERT_TRUE(run);
        EXPECT_TRUE(fs::is_directory(*run)) << round;
        EXPECT_TRUE(fs::is_directory(files_.preparedPath())) << round;
        EXPECT_FALSE(fs::exists(files_.rootPath() / "sendable")) << round;
    }
}

TEST_F(QXFileManagerTest, WithoutTheLegacyMarkerNothingIsRemoved) {
    writeFile(files_.activePath() / "run" / "signal.qxrecord", "x");
    writeFile(files_.rootPath() / "sendable-not" / "f", "y");
    files_.removeLegacyDirectories();
    EXPECT_EQ(readFile(files_.activePath() / "run" / "signal.qxrecord"), "x");
    EXPECT_EQ(readFile(files_.rootPath() / "sendable-not" / "f"), "y");
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(QXFileManagerTest, ListingsLeaveOutHiddenNamesAndGiveExtensions) {
    const fs::path folder = files_.processingPath() / "run";
    for (const char* name :
         {"signal.qxrecord", "signal.qxrecord.symbolicated", "archive.tar.gz", "noextension",
          "trailing.", ".hidden", ".hidden.qxrecord"}) {
        writeFile(folder / name, name);
    }
    fs::create_directories(folder / "sub.dir");
    fs::create_directories(folder / ".dir");
    std::vector<std::pair<std::string, std::string>> seen;
    files_.enumerateFilesInDirectory(folder, [&](const fs::path& path, const std::string& ext) {
        EXPECT_EQ(path.parent_path(), folder);
        seen.emplace_back(path.filename().string(), ext);
    });
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{
                        {"archive.tar.gz", "gz"},
                        {"noextension", ""},
                        {"signal.qxrecord", "qxrecord"},
                        {"signal.qxrecord.symbolicated", "symbolicated"},
                        {"sub.dir", "dir"},
                        {"trailing.", ""},
                    }));
    EXPECT_EQ(names(files_.contentsOfDirectory(folder)),
              (std::vector<std::string>{"archive.tar.gz", "noextension", "signal.qxrecord",
                                        "signal.qxrecord.symbolicated", "sub.dir", "trailing."}));
    EXPECT_TRUE(files_.contentsOfDirectory(files_.rootPath() / "missing").empty());
    seen.clear();
    files_.enumerateFilesInDirectory(folder / "signal.qxrecord",
                                     [&](const fs::path& p, const std::string& e) {
                                         seen.emplace_back(p.string(), e);
                                     });
    EXPECT_TRUE(seen.empty()) << "a file is no folder to list";
}

TEST_F(QXFileManagerTest, FolderListingsAndEnumerationsOfTheLayout) {
    writeFile(files_.activePath() / "b" / "x", "");
    writeFile(files_.activePath() / "a" / "x", "");
    writeFile(files_.processingPath() / "p" / "x", "");
    writeFile(files_.preparedPath() / "B1.multipartmime", "");
    writeFile(files_.preparedPath() / ".B0.multipartmime", "");
    EXPECT_EQ(names(files_.activePathContents()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(names(files_.processingPathContents()), std::vector<std::string>{"p"});
    EXPECT_EQ(names(files_.preparedPathContents()),
              std::vector<std::string>{"B1.multipartmime"});
    std::vector<std::string> active, prepared;
    files_.enumerateFilesInActiveDirectoryUsingBlock(
        [&](const fs::path& p, const std::string&) { active.push_back(p.string()); });
    files_.enumerateFilesInPreparedDirectoryUsingBlock(
        [&](const fs::path& p, const std::string& e) { prepared.push_back(e + ":" + p.string()); });
    EXPECT_EQ(active, (std::vector<std::string>{(files_.activePath() / "a").string(),
                                                (files_.activePath() / "b").string()}));
    EXPECT_EQ(prepared, std::vector<std::string>{
                            "multipartmime:" + (files_.preparedPath() / "B1.multipartmime").string()});
}

TEST_F(QXFileManagerTest, ReportsInProcessingAreOpenedOnEachVisibleEntry) {
    writeFile(files_.processingPath() / "A" / "metadata.qxrecord",
              "{\"identity\":{\"session_id\":\"session-a\"}}\n");
    writeFile(files_.processingPath() / "B" / "errors_a.qxrecord", "{\"error\":{}}\n");
    writeFile(files_.processingPath() / ".C" / "metadata.qxrecord",
              "{\"identity\":{\"session_id\":\"session-c\"}}\n");
    std::vector<std::pair<std::string, std::string>> seen;
    files_.enumerateReportsInProcessingDirectoryUsingBlock(
        [&](const std::shared_ptr<QXInternalReport>& report, const fs::path& path) {
            seen.emplace_back(path.filename().string(), report ? report->identifier() : "none");
            if (report) {
                EXPECT_EQ(report->path(), path);
            }
        });
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{"A", "session-a"},
                                                                      {"B", "none"}}));
}

TEST_F(QXFileManagerTest, MovingOneItem) {
    writeFile(files_.activePath() / "run" / "signal.qxrecord", "crash");
    fs::create_directories(files_.processingPath());
    EXPECT_TRUE(files_.moveItemAtPath(files_.activePath() / "run", files_.processingPath()));
    EXPECT_EQ(readFile(files_.processingPath() / "run" / "signal.qxrecord"), "crash");
    EXPECT_FALSE(fs::exists(files_.activePath() / "run"));
    // A trailing separator names the same folder.
    EXPECT_TRUE(files_.moveItemAtPath(files_.processingPath() / "run/", files_.activePath()));
    EXPECT_TRUE(fs::exists(files_.activePath() / "run" / "signal.qxrecord"));
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(QXFileManagerTest, AMoveNeverReplacesWhatIsThere) {
    struct Case {
        const char* what;
        bool sourceIsFolder;
        bool targetIsFolder;
    };
    for (const Case c : {Case{"file over file", false, false}, {"folder over folder", true, true},
                         {"file over folder", false, true}, {"folder over file", true, false}}) {
        SCOPED_TRACE(c.what);
        fs::remove_all(files_.rootPath());
        const fs::path from = files_.activePath() / "item";
        const fs::path to = files_.processingPath() / "item";
        c.sourceIsFolder ? writeFile(from / "inside", "new") : writeFile(from, "new");
        // An empty folder is what a plain rename would silently replace.
        c.targetIsFolder ? (void)fs::create_directories(to) : writeFile(to, "old");
        log_.clear();
        EXPECT_FALSE(files_.moveItemAtPath(from, files_.processingPath()));
        EXPECT_TRUE(logged(log_, "[FileManager] Failed to move file: "));
        EXPECT_EQ(readFile(c.sourceIsFolder ? from / "inside" : from), "new");
        if (c.targetIsFolder) {
            EXPECT_TRUE(fs::is_directory(to));
            EXPECT_TRUE(fs::is_empty(to));
        } else {
            EXPECT_EQ(readFile(to), "old");
        }
    }
}

TEST_F(QXFileManagerTest, AMoveWithoutItemOrDestinationOrSourceFails) {
    const fs::path folder = files_.processingPath();
    fs::create_directories(folder);
    writeFile(files_.activePath() / "x", "x");
    const std::vector<std::tuple<fs::path, fs::path, std::string>> cases = {
        {fs::path(), folder, "[FileManager] Failed to move file, inputs invalid"},
        {files_.activePath() / "x", fs::path(), "[FileManager] Failed to move file, inputs invalid"},
        {files_.activePath() / "missing", folder, "[FileManager] Failed to move file: "},
        {files_.activePath() / "x", files_.rootPath() / "no-such-folder",
         "[FileManager] Failed to move file: "},
    };
    for (const auto& [item, destination, line] : cases) {
        log_.clear();
        EXPECT_FALSE(files_.moveItemAtPath(item, destination)) << item << " -> " << destination;
        EXPECT_TRUE(logged(log_, line)) << item << " -> " << destination;
    }
    EXPECT_EQ(readFile(files_.activePath() / "x"), "x");
}

TEST_F(QXFileManagerTest, AMoveToAnotherFileSystemCopiesWhole) {
    const fs::path shm = "/dev/shm";
    struct stat a {}, b {};
    if (stat(shm.c_str(), &a) != 0 || stat(Folders::cacheHome().c_str(), &b) != 0 ||
        a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system to move from";
    }
    const fs::path source = shm / ("qxfm-" + std::to_string(getpid()));
    writeFile(source / "signal.qxrecord", "crash");
    writeFile(source / "sub" / "deep", "deep");
    fs::create_directories(files_.processingPath());
    EXPECT_TRUE(files_.moveItemAtPath(source, files_.processingPath()));
    const fs::path moved = files_.processingPath() / source.filename();
    EXPECT_EQ(tree(moved), (std::map<std::string, std::string>{
                               {"signal.qxrecord", "crash"}, {"sub", "/"}, {"sub/deep", "deep"}}));
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(names(files_.processingPathContents()),
              std::vector<std::string>{source.filename().string()});
    fs::remove_all(source);
}

TEST_F(QXFileManagerTest, MovingAllStopsAtTheFirstFailure) {
    for (const char* name : {"a", "b", "c", ".hidden"}) writeFile(files_.pendingPath() / name, name);
    writeFile(files_.processingPath() / "b", "already there");
    EXPECT_FALSE(files_.movePendingToProcessing());
    EXPECT_EQ(tree(files_.pendingPath()),
              (std::map<std::string, std::string>{{".hidden", ".hidden"}, {"b", "b"}, {"c", "c"}}));
    EXPECT_EQ(tree(files_.processingPath()),
              (std::map<std::string, std::string>{{"a", "a"}, {"b", "already there"}}));

    fs::remove(files_.processingPath() / "b");
    EXPECT_TRUE(files_.movePendingToProcessing());
    EXPECT_EQ(names(files_.processingPathContents()),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(fs::exists(files_.pendingPath() / ".hidden"));
    fs::create_directories(files_.preparedPath());
    EXPECT_TRUE(files_.moveProcessingContentsToPrepared());
    EXPECT_EQ(names(files_.preparedPathContents()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(files_.moveItemsFromDirectory(files_.rootPath() / "missing", files_.activePath()));
}

TEST_F(QXFileManagerTest, RemovingOneItem) {
    writeFile(files_.activePath() / "run" / "deep" / "file", "x");
    writeFile(files_.activePath() / "single", "x");
    struct Case {
        fs::path path;
        bool removed;
        std::string line;
    };
    const Case cases[] = {
        {files_.activePath() / "single", true, ""},
        {files_.activePath() / "run", true, ""},
        {fs::path(), false, "[FileManager] Failed to remove file '' : "},
        {files_.activePath() / "run", false,
         "[FileManager] Failed to remove file '" + (files_.activePath() / "run").string() +
             "' : "},
    };
    for (const auto& c : cases) {
        log_.clear();
        EXPECT_EQ(files_.removeItemAtPath(c.path), c.removed) << c.path;
        if (c.line.empty()) {
            EXPECT_TRUE(log_.lines().empty()) << c.path;
        } else {
            EXPECT_TRUE(logged(log_, c.line)) << c.path;
        }
        EXPECT_FALSE(fs::exists(c.path)) << c.path;
    }
    EXPECT_TRUE(fs::is_empty(files_.activePath()));
}

TEST_F(QXFileManagerTest, EmptyingAllFoldersKeepsHiddenEntriesAndToleratesMissingOnes) {
    for (const auto& folder : {files_.activePath(), files_.processingPath(), files_.preparedPath()}) {
        writeFile(folder / "visible" / "file", "x");
        writeFile(folder / "file.multipartmime", "x");
        writeFile(folder / ".keep", "k");
    }
    ASSERT_FALSE(fs::exists(files_.pendingPath()));
    EXPECT_TRUE(files_.removeContentsOfAllPaths());
    for (const auto& folder : {files_.activePath(), files_.processingPath(), files_.preparedPath()}) {
        EXPECT_EQ(tree(folder), (std::map<std::string, std::string>{{".keep", "k"}})) << folder;
    }
    EXPECT_TRUE(log_.lines().empty());
    EXPECT_TRUE(files_.removeContentsOfDirectoryAtPath(files_.rootPath() / "missing"));

    writeFile(files_.pendingPath() / "p", "");
    writeFile(files_.processingPath() / "q", "");
    EXPECT_TRUE(files_.removeContentsOfPendingPath());
    EXPECT_TRUE(fs::is_empty(files_.pendingPath()));
    EXPECT_TRUE(fs::exists(files_.processingPath() / "q"));
    EXPECT_TRUE(files_.removeContentsOfProcessingPath());
    EXPECT_FALSE(fs::exists(files_.processingPath() / "q"));
}

TEST_F(QXFileManagerTest, CreatingFolders) {
    const fs::path deep = files_.rootPath() / "a" / "b" / "c";
    EXPECT_TRUE(files_.createDirectoryAtPath(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(files_.createDirectoryAtPath(deep)) << "an existing folder is fine";
    writeFile(files_.rootPath() / "file", "x");
    for (const fs::path& bad : {files_.rootPath() / "file", files_.rootPath() / "file" / "below",
                                fs::path()}) {
        log_.clear();
        EXPECT_FALSE(files_.createDirectoryAtPath(bad)) << bad;
        EXPECT_TRUE(logged(log_, "[FileManager] Unable to create directory ")) << bad;
    }
    EXPECT_EQ(readFile(files_.rootPath() / "file"), "x");
}

TEST_F(QXFileManagerTest, FileSizes) {
    writeFile(files_.preparedPath() / "B.multipartmime", std::string(12345, 'x'));
    writeFile(files_.preparedPath() / "empty", "");
    EXPECT_EQ(files_.fileSizeAtPath(files_.preparedPath() / "B.multipartmime"), 12345u);
    EXPECT_EQ(files_.fileSizeAtPath(files_.preparedPath() / "empty"), 0u);
    EXPECT_TRUE(log_.lines().empty());
    for (const fs::path& bad : {files_.preparedPath() / "missing", fs::path()}) {
        log_.clear();
        EXPECT_FALSE(files_.fileSizeAtPath(bad)) << bad;
        EXPECT_TRUE(logged(log_, "[Client] Unable to read file size: ")) << bad;
    }
}

}  // namespace
}  // namespace wv
