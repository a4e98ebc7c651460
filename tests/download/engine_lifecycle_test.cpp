// The handle's life: refusals, counters, the existing-file rule, the local
// file's lock and reservation, and the destruction of a running download.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <future>

#include "download/engine_tuning.h"
#include "download/transfer_engine.h"
#include "engine_fixture.h"
#include "services/texts.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous for a loaded machine and the sanitizers; the bound is what counts.
constexpr auto schedulingMargin = 400ms;

class EngineLifecycle : public ::testing::Test {
protected:
    void SetUp() override { engine_tuning::setRetryWait(20ms); }
    void TearDown() override { EXPECT_TRUE(waitTaskThreadsGone()); }

    TaskParam param(const std::string& url, const fs::path& local, Recorder& seen) {
        TaskParam p;
        p.url = url;
        p.localPath = local.string();
        p.stopWait = 2000;
        p.receiveBlock = 1024;
        seen.attach(p);
        return p;
    }

    // A body of 200 KiB that trickles in 1 KiB pieces every 20 ms.
    std::unique_ptr<ScriptedServer> slowServer() {
        writeFile(folder / "slow.bin", randomBytes(200 << 10, 9));
        return std::make_unique<ScriptedServer>(
            folder, R"([{"body_file": "slow.bin", "trickle": [1024, 20], "ranges": true}])");
    }

    TempFolder folder;
};

TEST_F(EngineLifecycle, RefusesUnusableUrlsAndASecondTask) {
    Recorder first;
    Recorder second;
    auto engine = std::make_unique<Download>();
    for (const char* url : {"https://h/x", "h/x", "http://h", "http:///x", ""}) {
        TaskParam p;
        p.url = url;
        EXPECT_FALSE(addTask(*engine, p)) << url;
    }
    EXPECT_EQ(engine_tuning::liveTaskThreads(), 0) << "a refusal starts nothing";

    auto server = slowServer();
    ASSERT_TRUE(addTask(*engine, param(server->url("/slow.bin"), folder / "one.bin", first)));
    ASSERT_TRUE(first.waitFor(bytesReceived));
    EXPECT_FALSE(addTask(*engine, param(server->url("/slow.bin"), folder / "two.bin", second)));
    EXPECT_FALSE(fs::exists(folder / "two.bin"));
    const std::int32_t before = downloadedLength(*engine);
    std::this_thread::sleep_for(100ms);
    EXPECT_GT(downloadedLength(*engine), before) << "the first task runs on";
    engine.reset();
    ASSERT_TRUE(first.waitEnded());
    EXPECT_TRUE(second.events().empty());
}

TEST_F(EngineLifecycle, KnownSchemesWithoutTransferEndAtOnce) {
    for (const char* url : {"ftp://127.0.0.1/x", "MMS://127.0.0.1/x", "rtsp://127.0.0.1/x"}) {
        Recorder seen;
        Download engine;
        ASSERT_TRUE(addTask(engine, param(url, folder / "x", seen))) << url;
        ASSERT_TRUE(seen.waitEnded());
        EXPECT_EQ(seen.codes(),
                  (std::vector<std::int32_t>{connectionStarted, connectionFailed, taskEnded}));
        EXPECT_EQ(seen.last(taskEnded).value, 0);
    }
}

TEST_F(EngineLifecycle, CountersFollowTheTask) {
    auto server = slowServer();
    Recorder seen;
    Download engine;
    EXPECT_EQ(downloadedLength(engine), 0);
    EXPECT_EQ(takeSpeed(engine), 0);
    ASSERT_TRUE(addTask(engine, param(server->url("/slow.bin"), folder / "c.bin", seen)));
    ASSERT_TRUE(seen.waitFor(bytesReceived));
    std::this_thread::sleep_for(100ms);
    const std::int32_t during = downloadedLength(engine);
    EXPECT_GT(during, 0);
    const std::int32_t speed = takeSpeed(engine);
    EXPECT_GT(speed, 0);
    EXPECT_LE(speed, downloadedLength(engine));
    // The second read holds only what came since the first: far less than a
    // second's worth of a 50 KiB/s trickle.
    EXPECT_LT(takeSpeed(engine), 20 << 10);
    ASSERT_TRUE(seen.waitEnded());
    EXPECT_EQ(downloadedLength(engine), 0);
    EXPECT_EQ(takeSpeed(engine), 0);
}

TEST_F(EngineLifecycle, HoldsASharedLockWhileTheFileIsInUse) {
    auto server = slowServer();
    Recorder seen;
    const fs::path local = folder / "locked.bin";
    {
        Download engine;
        ASSERT_TRUE(addTask(engine, param(server->url("/slow.bin"), local, seen)));
        ASSERT_TRUE(seen.waitFor(sizeKnown));
        const int fd = ::open(local.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0) << "a deletion must see the file in use";
        ASSERT_TRUE(seen.waitFor(bytesReceived));
        ::close(fd);
    }
    ASSERT_TRUE(seen.waitEnded());
    const int fd = ::open(local.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "released with the task";
    ::close(fd);
}

TEST_F(EngineLifecycle, DestructionStopsWithinTheStopWait) {
    auto server = slowServer();
    Recorder seen;
    const fs::path local = folder / "stopped.bin";
    auto engine = std::make_unique<Download>();
    ASSERT_TRUE(addTask(*engine, param(server->url("/slow.bin"), local, seen)));
    ASSERT_TRUE(seen.waitFor(bytesReceived));
    std::this_thread::sleep_for(200ms);
    const auto start = Clock::now();
    engine.reset();
    const auto took = Clock::now() - start;
    EXPECT_LE(took, 2000ms + 20ms + schedulingMargin);
    ASSERT_TRUE(seen.waitEnded());
    const std::int32_t done = seen.last(taskEnded).value;
    EXPECT_GT(done, 0);
    EXPECT_LT(done, 200 << 10) << "the bytes done, not the total size";
    const std::string file = readFile(local);
    ASSERT_EQ(file.size(), std::size_t{200 << 10});
    EXPECT_EQ(file.substr(0, done), readFile(folder / "slow.bin").substr(0, done));
}

TEST_F(EngineLifecycle, DestructionDoesNotWaitLongerThanTheStopWait) {
    // A connection held inside the sameNameFile answer cannot notice the stop.
    writeFile(folder / "held.exe", "old");
    ScriptedServer server(folder, R"([{"body": "new"}])");
    Recorder seen;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    seen.onEvent = [released](std::int32_t code) {
        if (code == sameNameFile) released.wait();
    };
    TaskParam p = param(server.url("/held.exe"), folder / "held.exe", seen);
    p.stopWait = 300;
    auto engine = std::make_unique<Download>();
    ASSERT_TRUE(addTask(*engine, p));
    while (engine_tuning::liveTaskThreads() == 0 ||
           !fs::exists(folder / "requests" / "request-1.bin"))
        std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(200ms);  // the opening exchange is done by now
    const auto start = Clock::now();
    engine.reset();
    EXPECT_LE(Clock::now() - start, 300ms + 20ms + schedulingMargin);
    release.set_value();
    ASSERT_TRUE(seen.waitEnded());
    EXPECT_EQ(readFile(folder / "held.exe"), "old");
}

TEST_F(EngineLifecycle, DestructionWhileTheTaskEndedCallbackBlocks) {
    ScriptedServer server(folder, R"([{"body": "done"}])");
    Recorder seen;
    std::promise<void> inCallback;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    seen.onEvent = [&inCallback, released](std::int32_t code) {
        if (code == taskEnded) {
            inCallback.set_value();
            released.wait();  // as the program does while it ends itself
        }
    };
    auto engine = std::make_unique<Download>();
    ASSERT_TRUE(addTask(*engine, param(server.url("/d.exe"), folder / "d.exe", seen)));
    inCallback.get_future().wait();
    const auto start = Clock::now();
    engine.reset();
    EXPECT_LE(Clock::now() - start, 2000ms + 20ms + schedulingMargin);
    release.set_value();
    ASSERT_TRUE(seen.waitEnded());
}

TEST_F(EngineLifecycle, DestructionEndsTheRetries) {
    // A port nobody listens on: every connect fails and is retried.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);
    ::close(probe);

    Recorder seen;
    auto engine = std::make_unique<Download>();
    ASSERT_TRUE(addTask(*engine, param("http://127.0.0.1:" + std::to_string(port) + "/x.exe",
                                       folder / "x.exe", seen)));
    const std::string failure = fill(texts::logConnectFailed, std::string("127.0.0.1"), port);
    const auto until = Clock::now() + 10s;
    while (!seen.logged(fill(texts::logRetryWait, 5), 0) && Clock::now() < until)
        std::this_thread::sleep_for(10ms);
    engine.reset();
    ASSERT_TRUE(seen.waitEnded());
    EXPECT_TRUE(seen.logged(failure, 3));
    EXPECT_EQ(seen.last(taskEnded).value, 0);
    EXPECT_FALSE(fs::exists(folder / "x.exe"));
}

TEST_F(EngineLifecycle, ExistingFilesFollowTheCallbacksAnswer) {
    struct Case {
        std::int32_t answer;
        std::vector<std::string> existing;
        std::string written;  // empty: the task fails
        std::string log;
        int level;
    };
    const Case cases[] = {
        {0, {"update.exe"}, "update(1).exe", "", 0},
        {0, {"update.exe", "update(1).exe"}, "update(2).exe", "", 0},
        {1, {"update.exe"}, "", std::string(texts::logUserAbandoned), 0},
        {2, {"update.exe"}, "", "", 0},
        {7, {"update.exe"}, "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        TempFolder local;
        for (const std::string& name : c.existing) writeFile(local / name, "old");
        ScriptedServer server(local, R"([{"body": "fresh"}])");
        Recorder seen;
        seen.sameNameAnswer = c.answer;
        Download engine;
        const std::string path = (local / "update.exe").string();
        ASSERT_TRUE(addTask(engine, param(server.url("/update.exe"), local / "update.exe", seen)));
        ASSERT_TRUE(seen.waitEnded());
        EXPECT_EQ(seen.last(sameNameFile).subject, 3) << "the existing file's size";
        EXPECT_EQ(seen.last(sameNameFile).value, 5) << "the total size";
        for (const std::string& name : c.existing) EXPECT_EQ(readFile(local / name), "old");
        if (!c.written.empty()) {
            EXPECT_EQ(readFile(local / c.written), "fresh");
            EXPECT_EQ(seen.last(sizeKnown).path, (local / c.written).string());
            EXPECT_TRUE(seen.logged(fill(texts::logRenamed, (local / c.written).string()), 0));
        } else {
            EXPECT_EQ(seen.last(connectionFailed).code, connectionFailed);
            EXPECT_EQ(seen.last(sizeKnown).code, -1);
        }
        if (!c.log.empty()) EXPECT_TRUE(seen.logged(c.log, c.level));
        if (c.answer == 2) {
            EXPECT_TRUE(seen.logged(fill(texts::logUserRenamed, path), 0));
            EXPECT_TRUE(seen.logged(std::string(texts::logCreateFileFailed), 3));
        }
        if (c.answer == 7) {
            for (const SeenLog& line : seen.logs())
                EXPECT_NE(line.text.find(std::string(texts::logUserAbandoned).substr(0, 6)), 0u)
                    << "no line about the existing file";
        }
    }
}

TEST_F(EngineLifecycle, APlantedLinkIsNeverFollowed) {
    const fs::path elsewhere = folder / "elsewhere.txt";
    writeFile(elsewhere, "precious");
    fs::create_symlink(elsewhere, folder / "update.exe");
    ScriptedServer server(folder, R"([{"body": "payload"}])");
    Recorder seen;
    Download engine;
    ASSERT_TRUE(addTask(engine, param(server.url("/update.exe"), folder / "update.exe", seen)));
    ASSERT_TRUE(seen.waitEnded());
    EXPECT_EQ(readFile(elsewhere), "precious");
    EXPECT_TRUE(fs::is_symlink(folder / "update.exe"));
    EXPECT_EQ(readFile(folder / "update(1).exe"), "payload");
}

TEST_F(EngineLifecycle, NoRoomForTheFileIsACreationFailure) {
    ScriptedServer server(folder, R"([{"length": "1048576", "body": ""}])");
    Recorder seen;
    // A file size limit stands in for a full disk: the reservation fails the
    // same way, and without it the first write into the view would fault.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    {
        Download engine;
        ASSERT_TRUE(addTask(engine, param(server.url("/big.exe"), folder / "big.exe", seen)));
        ASSERT_TRUE(seen.waitEnded());
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(seen.logged(std::string(texts::logCreateFileFailed), 3));
    EXPECT_EQ(seen.codes(),
              (std::vector<std::int32_t>{connectionStarted, connectionFailed, taskEnded}));
    EXPECT_EQ(seen.last(taskEnded).value, 1048576);
    EXPECT_FALSE(fs::exists(folder / "big.exe"));
}

}  // namespace
