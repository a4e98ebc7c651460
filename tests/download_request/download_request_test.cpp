#include "download/download_request.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrader.h"
#include "download/progress.h"
#include "services/system_services.h"
#include "services/text_number.h"
#include "services/texts.h"
#include "tests/download_request/program_end_double.h"
#include "tests/download_request/recording_controls.h"
#include "tests/support/local_http_server.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string packageTarget = "/netver/10netver/20100615/update.exe";

std::string text(std::string_view view) { return std::string(view); }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

std::string packageOf(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + 7) % 251 + 1);
    // Starts as a Windows program does, so that it is started through wine.
    data.replace(0, std::min<std::size_t>(size, 2), "MZ", std::min<std::size_t>(size, 2));
    return data;
}

// A folder of its own for each test, made the current directory as the
// program's folder is; and a `wine` first on PATH that notes each start and
// keeps a copy of the file it was asked to run.
class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProgramEnd();
        folder_ = fs::temp_directory_path() /
                  ("upgrader-download-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "bin");
        fs::create_directories(folder_ / "started");
        fs::current_path(folder_);
        const fs::path wine = folder_ / "bin" / "wine";
        writeFile(wine,
                  "#!/bin/sh\n"
                  "n=$(ls \"$STARTED\" | wc -l)\n"
                  "printf '%s\\n' \"$@\" > \"$STARTED/$n.args\"\n"
                  "[ -f \"$1\" ] && cp -- \"$1\" \"$STARTED/$n.file\"\n"
                  "exit 0\n");
        fs::permissions(wine, fs::perms::owner_all);
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        ::setenv("PATH", ((folder_ / "bin").string() + ":" + oldPath_).c_str(), 1);
        ::setenv("STARTED", (folder_ / "started").c_str(), 1);

        state_.packagePath = concatTexts({currentDirectory(), texts::packageFileName});
        hosts_.packageHost = "127.0.0.1";
    }

    void TearDown() override {
        ::setenv("PATH", oldPath_.c_str(), 1);
        fs::current_path(fs::temp_directory_path());
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    Upgrader upgrader() { return Upgrader{state_, window_.controls, hosts_}; }
    fs::path packageFile() const { return toNativePath(state_.packagePath); }

    // The files that were started, as copies taken at the moment of the start.
    std::vector<std::string> started() const {
        std::vector<std::string> files;
        for (int n = 0; fs::exists(folder_ / "started" / (std::to_string(n) + ".args")); ++n) {
            files.push_back(readFile(folder_ / "started" / (std::to_string(n) + ".file")));
        }
        return files;
    }

    void click(const std::string& url) {
        window_.edit.setContent(url);
        auto handlers = upgrader();
        onManualUpgradeClicked(handlers);
    }

    void tick() {
        auto handlers = upgrader();
        onProgressTick(handlers);
    }

    std::string status(int part) const { return window_.status.statusText(part); }

    // Ticks until the status bar shows the wanted amount downloaded.
    bool tickUntilDownloaded(const std::string& wanted) {
        for (int i = 0; i < 100; ++i) {
            tick();
            if (status(2) == wanted && !status(0).empty()) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    fs::path folder_;
    std::string oldPath_;
    UpgraderState state_;
    RecordingWindowControls window_;
    Endpoints hosts_;
};

TEST_F(DownloadTest, UnknownPackageHostDeletesNothingAndEndsLater) {
    writeFile(packageFile(), "old package");
    window_.timer1.setPeriod(5000);
    hosts_.packageHost = "package-host.invalid";

    click("http://package-host.invalid" + packageTarget);

    EXPECT_EQ(window_.timer1.period(), 0);
    EXPECT_EQ(window_.timer2.period(), 5000);
    EXPECT_EQ(window_.labels[0].caption(), text(texts::packageHostUnreachable));
    EXPECT_EQ(window_.timer3.period(), 0);
    EXPECT_EQ(readFile(packageFile()), "old package");
    EXPECT_EQ(state_.taskParams.receiveBlock, TaskParam{}.receiveBlock);
    EXPECT_FALSE(waitForProgramEnd(200ms));
}

TEST_F(DownloadTest, ClickFillsTheTaskAndHandsOverTheWholePackage) {
    LocalHttpServer server;
    const std::string package = packageOf(150000);
    server.serve(packageTarget, {.body = package});
    writeFile(packageFile(), "old package");
    window_.timer1.setPeriod(5000);

    click(server.url(packageTarget));

    const TaskParam& task = state_.taskParams;
    EXPECT_EQ(task.mode, 1);
    EXPECT_EQ(task.connections, 1);
    EXPECT_EQ(task.stopWait, 2000);
    EXPECT_EQ(task.connectTimeout, 5000);
    EXPECT_EQ(task.sendTimeout, 5001);
    EXPECT_EQ(task.receiveTimeout, 10000);
    EXPECT_EQ(task.receiveBlock, 1024);
    EXPECT_TRUE(task.eventCallback);
    EXPECT_EQ(task.url, server.url(packageTarget));
    EXPECT_EQ(task.localPath, state_.packagePath);
    EXPECT_EQ(task.speedLimit, 0);
    EXPECT_TRUE(task.proxy.empty());
    EXPECT_TRUE(task.referer.empty());
    EXPECT_EQ(window_.timer1.period(), 0);

    const auto end = waitForProgramEnd(20s);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->first, 0);
    EXPECT_EQ(readFile(packageFile()), package);
    EXPECT_EQ(started(), std::vector<std::string>{package});
    EXPECT_EQ(state_.packageSize.load(), 150000.0);

    // The size once, then the clearing: the timer before the texts, the texts in
    // order, then the bar; nothing written after.
    const auto entries = window_.journal.entries();
    const auto size =
        std::find(entries.begin(), entries.end(),
                  "status0=" + concatTexts({texts::statusSize, "146.48", texts::unitKb}));
    ASSERT_NE(size, entries.end());
    const std::vector<std::string> clearing = {
        "时钟3=0", "status0=", "status1=", "status2=", "status3=", "progress=0"};
    ASSERT_GE(entries.size(), clearing.size());
    EXPECT_EQ(std::vector<std::string>(entries.end() - clearing.size(), entries.end()), clearing);
}

// The hand-over starts a package only when this download brought all of it.
struct Outcome {
    const char* name;
    CannedReply reply;
    bool started;
    std::size_t fileSize;  // 0: no file

    friend void PrintTo(const Outcome& outcome, std::ostream* out) { *out << outcome.name; }
};

class HandOverTest : public DownloadTest, public ::testing::WithParamInterface<Outcome> {};

TEST_P(HandOverTest, StartsOnlyAWholePackage) {
    const Outcome& outcome = GetParam();
    LocalHttpServer server;
    server.serve(packageTarget, outcome.reply);

    click(server.url(packageTarget));
    const auto clicked = std::chrono::steady_clock::now();
    const auto end = waitForProgramEnd(20s);

    ASSERT_TRUE(end);
    EXPECT_EQ(end->first, 0);
    EXPECT_GE(end->second - clicked, 1000ms);  // the pause before the end stays
    EXPECT_EQ(started().size(), outcome.started ? 1u : 0u);
    if (outcome.fileSize == 0) {
        EXPECT_FALSE(fs::exists(packageFile()));
    } else {
        ASSERT_TRUE(fs::exists(packageFile()));
        EXPECT_EQ(fs::file_size(packageFile()), outcome.fileSize);  // a partial file stays
    }
    EXPECT_EQ(status(0), "");
    EXPECT_EQ(window_.progress.position(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, HandOverTest,
    ::testing::Values(
        Outcome{"whole", {.body = packageOf(30000)}, true, 30000},
        Outcome{"cut", {.body = packageOf(30000), .cutAfter = 25000}, false, 30000},
        Outcome{"missing", {.status = 404, .reason = "Not Found", .body = "gone"}, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, StartsTheFileThisDownloadWroteWhenTheOldOneStays) {
    // An update.exe that cannot be deleted: the engine writes beside it, and that
    // new file is the one to start.
    fs::create_directories(packageFile() / "in-use");
    LocalHttpServer server;
    const std::string package = packageOf(30000);
    server.serve(packageTarget, {.body = package});

    click(server.url(packageTarget));
    ASSERT_TRUE(waitForProgramEnd(20s));

    EXPECT_EQ(readFile(folder_ / "update(1).exe"), package);
    EXPECT_EQ(started(), std::vector<std::string>{package});
}

TEST_F(DownloadTest, TicksShowTheDownloadAsItStands) {
    std::optional<LocalHttpServer> server(std::in_place);
    // 57 of 100 bytes, then silence until the server goes.
    server->serve(packageTarget,
                  {.body = packageOf(100), .cutAfter = 57, .stall = true, .delay = 500ms});
    click(server->url(packageTarget));
    EXPECT_EQ(window_.timer3.period(), 1000);

    tick();  // before the size is known
    EXPECT_EQ(window_.progress.position(), 0);
    EXPECT_EQ(status(1), concatTexts({texts::statusSpeed, "0", texts::unitKbPerSecond}));
    EXPECT_EQ(status(2), concatTexts({texts::statusDownloaded, "0", texts::unitKb}));
    EXPECT_EQ(status(3), concatTexts({texts::statusDone, "0", texts::percent}));

    ASSERT_TRUE(tickUntilDownloaded(concatTexts({texts::statusDownloaded, "0.06", texts::unitKb})));
    EXPECT_EQ(status(0), concatTexts({texts::statusSize, "0.1", texts::unitKb}));
    EXPECT_EQ(window_.progress.position(), 56);  // 57 / 100 * 100, cut toward zero
    EXPECT_EQ(status(3), concatTexts({texts::statusDone, "56", texts::percent}));
    tick();  // nothing arrived since
    EXPECT_EQ(status(1), concatTexts({texts::statusSpeed, "0", texts::unitKbPerSecond}));

    // The server goes with 57 bytes sent: the task ends cut short.
    server.reset();
    ASSERT_TRUE(waitForProgramEnd(20s));
    EXPECT_TRUE(started().empty());
    EXPECT_EQ(fs::file_size(packageFile()), 100u);
}

TEST_F(DownloadTest, SecondClickLeavesTheRunningDownloadAlone) {
    LocalHttpServer server;
    const std::string package = packageOf(60000);
    server.serve(packageTarget, {.body = package, .delay = 800ms});

    click(server.url(packageTarget));
    std::this_thread::sleep_for(200ms);
    click(server.url(packageTarget));
    ASSERT_TRUE(waitForProgramEnd(20s));

    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(readFile(packageFile()), package);
    EXPECT_EQ(started(), std::vector<std::string>{package});
}

// The callback alone, without an engine behind it.
struct SizeCase {
    std::int32_t bytes;
    const char* shown;
};

TEST_F(DownloadTest, SizeIsShownInKilobytes) {
    for (const SizeCase& c : {SizeCase{5120, "5"}, SizeCase{1000, "0.98"},
                              SizeCase{1536000, "1500"}, SizeCase{0, "0"}}) {
        auto handlers = upgrader();
        const EventCallback callback = makeDownloadCallback(handlers);
        EXPECT_EQ(callback(sizeKnown, 0, c.bytes, reinterpret_cast<std::intptr_t>("x"), nullptr),
                  0);
        EXPECT_EQ(status(0), concatTexts({texts::statusSize, c.shown, texts::unitKb})) << c.bytes;
        EXPECT_EQ(state_.packageSize.load(), static_cast<double>(c.bytes));
    }
}

TEST_F(DownloadTest, LateEndWhileTheProgramEndsTouchesNothing) {
    writeFile(packageFile(), packageOf(100));
    auto handlers = upgrader();
    const EventCallback callback = makeDownloadCallback(handlers);
    const std::string path = state_.packagePath;
    callback(sizeKnown, 0, 100, reinterpret_cast<std::intptr_t>(path.c_str()), nullptr);
    callback(bytesReceived, 0, 100, 0, nullptr);
    const auto before = window_.journal.entries();

    setProgramEnding(true);
    EXPECT_EQ(callback(taskEnded, 0, 100, 0, nullptr), 0);  // returns: no second end

    EXPECT_EQ(window_.journal.entries(), before);
    EXPECT_TRUE(started().empty());
    EXPECT_FALSE(waitForProgramEnd(100ms));
}

TEST_F(DownloadTest, OtherEventsAnswerZero) {
    auto handlers = upgrader();
    const EventCallback callback = makeDownloadCallback(handlers);
    for (std::int32_t code : std::initializer_list<std::int32_t>{
             connectionStarted, rangeStarted, rangeContinued, connectionDone, connectionFailed,
             bytesReceived, sameNameFile, 2, 17}) {
        EXPECT_EQ(callback(code, 0, 10, 0, nullptr), 0) << code;
    }
    EXPECT_TRUE(window_.journal.entries().empty());
}

}  // namespace
