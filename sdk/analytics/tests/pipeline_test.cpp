// The stages chained end to end against a loopback server, as the analytics controller
// chains them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "PipelineChain.h"
#include "UploadFixtures.h"
#include "sdk/analytics/PLRWriteEventOperation.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using testing::RecordingDelegate;
using testing::TestPKI;
using testing::TestServer;
using json = nlohmann::ordered_json;

// Event ids found in the bodies the server received, with the lines that carried them;
// every line must be whole and every log must open with its metadata line.
// `skip`: the first requests, answered with an error, do not count.
std::multiset<int> eventIdsReceived(const TestServer& server, size_t skip = 0) {
    std::multiset<int> ids;
    const auto requests = server.requests();
    for (size_t n = skip; n < requests.size(); ++n) {
        const auto& r = requests[n];
        for (const auto& part : r.parts) {
            const auto lines = testing::splitLines(testing::gunzip(part.content));
            EXPECT_FALSE(lines.empty());
            for (size_t i = 0; i < lines.size(); ++i) {
                const auto f = testing::splitFields(lines[i]);
                EXPECT_EQ(f.size(), 4u) << lines[i];
                if (f.size() != 4) continue;
                EXPECT_EQ(std::stoul(f[2]), f[3].size()) << lines[i];
                EXPECT_EQ(f[1] == "metadata", i == 0) << lines[i];
                if (i > 0) ids.insert(json::parse(f[3]).at("eventId").get<int>());
            }
        }
    }
    return ids;
}

class PipelineTest : public ::testing::Test {
  protected:
    PipelineTest()
        : dir_(testing::freshFolder()),
          queue_(std::make_shared<OperationQueue>("io.plurio.EventQueue", 1)),
          delegate_(std::make_shared<RecordingDelegate>(dir_)),
          uploader_(PLRUploader::create(queue_, delegate_)) {}

    void writeEvents(const std::filesystem::path& log, int from, int to) {
        for (int id = from; id < to; ++id) {
            auto op = std::make_shared<PLRWriteEventOperation>(
                std::make_shared<testing::FixedEvent>(1700000000 + id, "custom",
                                                      json{{"eventId", id}, {"text", "é\t\n"}}),
                metadata_, log);
            queue_->addOperation(op);
        }
    }

    testing::PinnedRoots roots_;
    ManualRunLoop loop_;
    testing::EchoMetadata metadata_;
    std::filesystem::path dir_;
    std::shared_ptr<OperationQueue> queue_;
    std::shared_ptr<RecordingDelegate> delegate_;
    std::shared_ptr<PLRUploader> uploader_;
};

TEST_F(PipelineTest, EventsWrittenReachTheServerOnceAndEveryStageFileIsGone) {
    auto server = TestServer::startHTTPS(TestPKI::shared().leafA());
    server->script("/events", {{202, "{}"}});
    testing::PipelineChain chain(queue_, uploader_, server->url("/events"));
    writeEvents(dir_ / "A.log", 0, 50);
    chain.fromLog(dir_ / "A.log");
    writeEvents(dir_ / "B.log", 50, 120);
    chain.fromLog(dir_ / "B.log");
    ASSERT_TRUE(delegate_->waitForFinished(2));
    std::multiset<int> expected;
    for (int i = 0; i < 120; ++i) expected.insert(i);
    EXPECT_EQ(eventIdsReceived(*server), expected);
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << testing::names(dir_);
}

// What an earlier run left at each stage is resumed there; nothing is sent twice.
TEST_F(PipelineTest, LeftoversResumeAtTheirStage) {
    auto server = TestServer::startHTTPS(TestPKI::shared().leafA());
    server->script("/events", {{202, "{}"}});
    {
        // An earlier run: three logs, taken as far as compression, packaging and nowhere.
        for (const auto& [name, from] :
             std::vector<std::pair<std::string, int>>{{"L1", 0}, {"L2", 10}, {"L3", 20}}) {
            for (int id = from; id < from + 10; ++id) {
                PLRWriteEventOperation op(
                    std::make_shared<testing::FixedEvent>(id, "custom", json{{"eventId", id}}),
                    metadata_, dir_ / (name + ".log"));
                op.main();
            }
        }
        PLRCompressLogOperation(dir_ / "L2.log", dir_ / "L2.gz").main();
        PLRCompressLogOperation(dir_ / "L3.log", dir_ / "L3.gz").main();
        const auto b = PLRPackageLogOperation::boundaryForCompressedURL(dir_ / "L3.gz");
        PLRPackageLogOperation(
            dir_ / "L3.gz", PLRPackageLogOperation::multipartURLForCompressedURL(dir_ / "L3.gz", b),
            b)
            .main();
        // A crash mid-line in the log still being written.
        std::ofstream(dir_ / "L1.log", std::ios::app) << "1700\tcustom\t12\t{\"eventI";
    }
    std::multiset<std::string> stages;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        stages.insert(e.path().extension().string());
    ASSERT_EQ(stages, (std::multiset<std::string>{".log", ".gz", ".multipartmime"}));
    testing::PipelineChain chain(queue_, uploader_, server->url("/events"));
    chain.resume(dir_);
    ASSERT_TRUE(delegate_->waitForFinished(3));
    std::multiset<int> expected;
    for (int i = 0; i < 30; ++i) expected.insert(i);
    EXPECT_EQ(eventIdsReceived(*server), expected);
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << testing::names(dir_);
}

// Bodies that no run of the pipeline could have made still go out once; the server's
// refusal removes them.
TEST_F(PipelineTest, BrokenLeftoverBodiesAreSentOnceAndRemovedWhenRefused) {
    auto server = TestServer::startHTTPS(TestPKI::shared().leafA());
    server->script("/events", {{400, "malformed"}});
    testing::writeFile(dir_ / "EMPTY.multipartmime", "");
    testing::writeFile(dir_ / "CUT.multipartmime", "MIME-Version: 1.0\r\n--CUT\r\nContent-Disp");
    testing::PipelineChain chain(queue_, uploader_, server->url("/events"));
    chain.resume(dir_);
    ASSERT_TRUE(delegate_->waitForFinished(2));
    loop_.advance(100);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(server->requestCount(), 2u);
    for (const auto& f : delegate_->finished()) {
        ASSERT_TRUE(f.error) << f.name;
        EXPECT_EQ(f.error->code, -5) << f.name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << testing::names(dir_);
}

// A server that is down for a while: the bodies wait out their back-off and then go.
TEST_F(PipelineTest, BodiesWaitWhileTheServerIsInTroubleThenGo) {
    auto server = TestServer::startHTTPS(TestPKI::shared().leafA());
    server->script("/events", {{503, ""}, {503, ""}, {503, ""}, {503, ""}, {202, "{}"}});
    testing::PipelineChain chain(queue_, uploader_, server->url("/events"));
    writeEvents(dir_ / "A.log", 0, 5);
    chain.fromLog(dir_ / "A.log");
    writeEvents(dir_ / "B.log", 5, 10);
    chain.fromLog(dir_ / "B.log");
    ASSERT_TRUE(
        testing::advanceUntil(loop_, 60, [&] { return delegate_->finished().size() == 2; }));
    for (const auto& f : delegate_->finished()) EXPECT_FALSE(f.error) << f.name;
    EXPECT_EQ(server->requestCount(), 6u);
    std::multiset<int> expected;
    for (int i = 0; i < 10; ++i) expected.insert(i);
    EXPECT_EQ(eventIdsReceived(*server, 4), expected);
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << testing::names(dir_);
}

// A child run of the pipeline: its pid and the ids it reported written, read as it goes.
class ChildRun {
  public:
    ChildRun(const std::filesystem::path& dir, const std::string& url, int first, int count) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            const std::string a = std::to_string(first), b = std::to_string(count);
            execl(WV_PIPELINE_CHILD, WV_PIPELINE_CHILD, dir.c_str(), url.c_str(), a.c_str(),
                  b.c_str(), "7", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        reader_ = std::thread([this, fd = fds[0]] {
            FILE* in = fdopen(fd, "r");
            char line[64];
            while (fgets(line, sizeof line, in)) {
                std::lock_guard lock(mutex_);
                int id;
                if (sscanf(line, "W %d", &id) == 1) written_.insert(id);
                if (line[0] == 'R') ready_ = true;
                changed_.notify_all();
            }
            fclose(in);
        });
    }
    // The exit status, or 128 + the signal.
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        reader_.join();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void kill() { ::kill(pid_, SIGKILL); }
    // True once the child has started its work (false when it ended before).
    bool waitUntilReady() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return ready_; });
    }
    std::set<int> written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }

  private:
    pid_t pid_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    std::set<int> written_;
};

// Runs killed at seeded random moments, then one left to finish: every event a run reported
// written arrives, in exactly one body (a body may arrive again when a run died after the
// server had answered it and before it was deleted), as whole lines under a metadata line.
TEST(PipelineReliability, RunsKilledAtRandomMomentsLoseAndDuplicateNothing) {
    const auto dir = testing::freshFolder();
    auto server = TestServer::startHTTP();
    server->script("/events", {{202, "{}"}});
    std::mt19937 random(20261210);
    std::set<int> written;
    for (int round = 0; round < 12; ++round) {
        ChildRun child(dir, server->url("/events"), round * 1000, 40 + round * 5);
        ASSERT_TRUE(child.waitUntilReady());
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300000));
        child.kill();
        child.wait();
        for (int id : child.written()) written.insert(id);
    }
    ChildRun last(dir, server->url("/events"), 99000, 10);
    EXPECT_EQ(last.wait(), 0) << "the last run did not empty the folder: " << testing::names(dir);
    for (int id : last.written()) written.insert(id);
    EXPECT_GT(written.size(), 10u);

    std::map<int, std::set<std::string>> bodiesOf;
    for (const auto& r : server->requests()) {
        const std::string boundary = r.headers.value("Content-Type").value_or("");
        for (const auto& part : r.parts) {
            const auto lines = testing::splitLines(testing::gunzip(part.content));
            ASSERT_FALSE(lines.empty());
            for (size_t i = 0; i < lines.size(); ++i) {
                const auto f = testing::splitFields(lines[i]);
                ASSERT_EQ(f.size(), 4u) << lines[i];
                ASSERT_EQ(std::stoul(f[2]), f[3].size()) << lines[i];
                ASSERT_EQ(f[1] == "metadata", i == 0) << lines[i];
                if (i > 0) bodiesOf[json::parse(f[3]).at("eventId").get<int>()].insert(boundary);
            }
        }
    }
    for (int id : written) {
        ASSERT_TRUE(bodiesOf.count(id)) << "event " << id << " was lost";
    }
    for (const auto& [id, bodies] : bodiesOf) {
        EXPECT_EQ(bodies.size(), 1u) << "event " << id << " arrived in different bodies";
    }
}

}  // namespace
}  // namespace wv
