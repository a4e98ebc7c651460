// Transfers against the scripted server: the exchange to the byte, outcomes of
// faulty servers, retries, redirections and several connections.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "download/engine_tuning.h"
#include "download/transfer_engine.h"
#include "engine_fixture.h"
#include "services/texts.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class EngineTransfer : public ::testing::Test {
protected:
    void SetUp() override { engine_tuning::setRetryWait(20ms); }
    void TearDown() override { EXPECT_TRUE(waitTaskThreadsGone()); }

    // The settings the program uses, with the recorder's callbacks.
    TaskParam programParam(const std::string& url, const fs::path& local) {
        TaskParam param;
        param.url = url;
        param.localPath = local.string();
        param.connectTimeout = 5000;
        param.sendTimeout = 5001;
        param.receiveTimeout = 10000;
        param.stopWait = 2000;
        param.receiveBlock = 1024;
        recorder.attach(param);
        return param;
    }

    void serve(const std::string& replies) {
        server = std::make_unique<ScriptedServer>(folder, replies);
    }

    // Runs one task to its end.
    void download(const TaskParam& param) {
        Download engine;
        ASSERT_TRUE(addTask(engine, param));
        ASSERT_TRUE(recorder.waitEnded());
        EXPECT_EQ(downloadedLength(engine), 0);
        EXPECT_EQ(takeSpeed(engine), 0);
    }

    TempFolder folder;
    std::unique_ptr<ScriptedServer> server;
    Recorder recorder;
};

const std::vector<std::int32_t> succeeded = {connectionStarted, rangeStarted, sizeKnown,
                                             connectionDone, taskEnded};
const std::vector<std::int32_t> failed = {connectionStarted, connectionFailed, taskEnded};

TEST_F(EngineTransfer, DownloadsOverOneConnectionWithTheExactRequest) {
    const std::string body = randomBytes(50000, 1);
    writeFile(folder / "body.bin", body);
    serve(R"([{"body_file": "body.bin"}])");
    const fs::path local = folder / "update.exe";
    download(programParam(server->url("/dir/sub/update.exe"), local));

    EXPECT_EQ(readFile(local), body);
    const std::string host = "127.0.0.1:" + std::to_string(server->port());
    const std::string request = "GET /dir/sub/update.exe HTTP/1.1\r\nHost: " + host +
                                "\r\nAccept: */*\r\nReferer: http://" + host +
                                "/dir/sub\r\nUser-Agent: " + std::string(texts::engineAgent) +
                                "\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n"
                                "Connection: close\r\n\r\n";
    ASSERT_EQ(server->requests(), std::vector<std::string>{request});

    EXPECT_EQ(recorder.codes(), succeeded);
    const auto events = recorder.events();
    EXPECT_NE(events.front().thread, std::this_thread::get_id());
    for (const SeenEvent& e : events)
        EXPECT_EQ(e.thread, events.front().thread) << "every event on the task thread";
    EXPECT_EQ(recorder.last(rangeStarted).value, 0);
    EXPECT_EQ(recorder.last(rangeStarted).extra, 50000);
    EXPECT_EQ(recorder.last(sizeKnown).value, 50000);
    EXPECT_EQ(recorder.last(sizeKnown).path, local.string());
    EXPECT_EQ(recorder.last(connectionDone).value, 50000);
    EXPECT_EQ(recorder.last(taskEnded).value, 50000);
    EXPECT_EQ(recorder.bytesReported(), 50000);
    // bytesReceived only between sizeKnown and connectionDone, one per cycle of
    // at most 1024 bytes (the first also carries the body bytes of the header).
    bool inBody = false;
    int cycles = 0;
    for (const SeenEvent& e : events) {
        if (e.code == sizeKnown) inBody = true;
        if (e.code == connectionDone) inBody = false;
        if (e.code == bytesReceived) {
            EXPECT_TRUE(inBody);
            if (cycles++ > 0) EXPECT_LE(e.value, 1024);
        }
    }

    const std::string address = "127.0.0.1";
    EXPECT_TRUE(recorder.logged(fill(texts::logConnecting, address, server->port()), 0));
    EXPECT_TRUE(recorder.logged(fill(texts::logConnected, address, server->port()), 0));
    EXPECT_TRUE(recorder.logged(request, 1));
    const auto logs = recorder.logs();
    const auto header =
        std::find_if(logs.begin(), logs.end(), [](const SeenLog& l) { return l.level == 2; });
    ASSERT_NE(header, logs.end());
    EXPECT_TRUE(header->text.starts_with("HTTP/1.1 200 OK\r\nContent-Length: 50000\r\n"));
    EXPECT_TRUE(header->text.ends_with("\r\n\r\n"));
    EXPECT_TRUE(header->time.starts_with("20")) << "the log time starts with the year";
}

TEST_F(EngineTransfer, EncodesBlanksAndLooksUpNames) {
    serve(R"([{"body": "tiny"}])");
    const std::string url = "http://localhost:" + std::to_string(server->port()) + "/a b/%41.exe";
    download(programParam(url, folder / "x.exe"));
    ASSERT_EQ(server->requests().size(), 1u);
    EXPECT_TRUE(server->requests()[0].starts_with(
        "GET /a%20b/%41.exe HTTP/1.1\r\nHost: localhost:" + std::to_string(server->port()) +
        "\r\n"));
    EXPECT_TRUE(recorder.logged(fill(texts::logResolving, std::string("localhost")), 0));
    EXPECT_EQ(readFile(folder / "x.exe"), "tiny");
    EXPECT_EQ(recorder.bytesReported(), 4) << "a body that came whole with the header is reported";
}

TEST_F(EngineTransfer, FinalFailuresEndWithoutRetryOrFile) {
    struct Case {
        std::string name;
        std::string replies;
        std::string log;
        std::int32_t ended;
        std::size_t requests;
    };
    const std::string redirectFailed(texts::logRedirectFailed);
    const Case cases[] = {
        {"404", R"([{"status": "HTTP/1.1 404 Not Found", "body": "no"}])",
         std::string(texts::logHttpError), 0, 1},
        {"403", R"([{"status": "HTTP/1.0 403 Forbidden"}])", std::string(texts::logHttpError), 0,
         1},
        {"400", R"([{"status": "HTTP/1.1 400 Bad Request"}])", std::string(texts::logHttpError), 0,
         1},
        {"500", R"([{"status": "HTTP/1.1 500 Oops"}])", fill(texts::logUnsupportedStatus, 500), 0,
         1},
        {"no length", R"([{"length": null, "body": "abc"}])", std::string(texts::logNoSize), -1, 1},
        {"206 first", R"([{"status": "HTTP/1.1 206 Partial Content", "body": "abc"}])",
         std::string(texts::logNoSize), -1, 1},
        {"2 GiB", R"([{"length": "2147483648"}])", std::string(texts::logNoSize), -1, 1},
        {"negative", R"([{"length": "-5"}])", std::string(texts::logNoSize), -1, 1},
        {"not a number", R"([{"length": "lots"}])", std::string(texts::logNoSize), -1, 1},
        {"long header", R"([{"pad_header": 5000, "body": "abc"}])",
         std::string(texts::logHeaderTooLong), 0, 1},
        {"no location", R"([{"status": "HTTP/1.1 302 Found"}])",
         std::string(texts::logRedirectNoLocation), 0, 1},
        {"to ftp", R"([{"status": "HTTP/1.1 301 Moved", "headers": ["Location: ftp://h/x"]}])",
         redirectFailed, 0, 1},
        {"loop", R"([{"status": "HTTP/1.1 302 Found", "headers": ["Location: /loop/x.exe"]}])",
         redirectFailed, 0, 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder local;
        Recorder seen;
        ScriptedServer replies(local, c.replies);
        TaskParam param = programParam(replies.url("/pkg/update.exe"), local / "update.exe");
        seen.attach(param);
        Download engine;
        ASSERT_TRUE(addTask(engine, param));
        ASSERT_TRUE(seen.waitEnded());
        EXPECT_EQ(seen.codes(), failed);
        EXPECT_EQ(seen.last(connectionFailed).value, 0);
        EXPECT_EQ(seen.last(taskEnded).value, c.ended);
        EXPECT_TRUE(seen.logged(c.log, 3));
        EXPECT_FALSE(seen.logged(fill(texts::logRetryWait, 5), 0));
        EXPECT_EQ(replies.requests().size(), c.requests);
        EXPECT_FALSE(fs::exists(local / "update.exe"));
    }
}

TEST_F(EngineTransfer, FollowsRedirectionsWithCookiesAndReferers) {
    serve(R"([
        {"status": "HTTP/1.1 302 Found", "headers": ["Location: sub/b.exe", "Set-Cookie: sid=42; path=/"], "body": "not this"},
        {"status": "HTTP/1.1 301 Moved", "headers": ["Location: http://127.0.0.1/y/update.exe"]},
        {"body": "the package"}])");
    download(programParam(server->url("/dir/a.exe"), folder / "update.exe"));

    EXPECT_EQ(readFile(folder / "update.exe"), "the package");
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::string host = "127.0.0.1:" + std::to_string(server->port());
    EXPECT_TRUE(requests[1].starts_with("GET /dir/sub/b.exe HTTP/1.1\r\nHost: " + host +
                                        "\r\nAccept: */*\r\nReferer: http://" + host + "/sub\r\n"));
    EXPECT_NE(requests[1].find("\r\nCookie: sid=42\r\nPragma: no-cache\r\n"), std::string::npos);
    // A location without a port keeps the port in use.
    EXPECT_TRUE(
        requests[2].starts_with("GET /y/update.exe HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: "
                                "*/*\r\nReferer: http://127.0.0.1/y\r\n"));
    EXPECT_TRUE(recorder.logged(fill(texts::logRedirect, std::string("sub/b.exe")), 3));
    EXPECT_EQ(recorder.codes(), succeeded);
}

TEST_F(EngineTransfer, RetriesAHeaderThatNeverComes) {
    serve(R"([{"stall_ms": 2000, "body": "late"}, {"body": "on time"}])");
    TaskParam param = programParam(server->url("/u.exe"), folder / "u.exe");
    param.receiveTimeout = 200;
    download(param);
    EXPECT_EQ(readFile(folder / "u.exe"), "on time");
    EXPECT_TRUE(recorder.logged(std::string(texts::socketErrorText(-10)), 3));
    EXPECT_TRUE(recorder.logged(fill(texts::logRetryWait, 5), 0));
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], requests[1]) << "the opening exchange is repeated as it was";
    EXPECT_EQ(recorder.codes(), succeeded);
}

TEST_F(EngineTransfer, PrematureCloseWithBytesBufferedEndsTheConnection) {
    const std::string body = randomBytes(30000, 2);
    writeFile(folder / "body.bin", body);
    serve(R"([{"body_file": "body.bin", "close_after": 5000}])");
    download(programParam(server->url("/u.exe"), folder / "u.exe"));

    const std::string file = readFile(folder / "u.exe");
    ASSERT_EQ(file.size(), body.size()) << "sized to the announced length";
    EXPECT_EQ(file.substr(0, 5000), body.substr(0, 5000));
    EXPECT_EQ(file.substr(5000), std::string(25000, '\0'));
    EXPECT_EQ(recorder.codes(), succeeded);
    EXPECT_EQ(recorder.last(connectionDone).value, 5000);
    EXPECT_EQ(recorder.bytesReported(), 5000) << "no byte reported twice";
    EXPECT_EQ(server->requests().size(), 1u);
}

TEST_F(EngineTransfer, PrematureCloseWithNothingBufferedResumesTheRange) {
    // 20480 bytes fill the transfer buffer exactly, so the close finds it
    // flushed; the last 500 bytes and their header are far under 4096 bytes.
    const std::string body = randomBytes(20980, 3);
    writeFile(folder / "body.bin", body);
    serve(
        R"([{"body_file": "body.bin", "close_after": 20480}, {"body_file": "body.bin", "ranges": true}])");
    download(programParam(server->url("/u.exe"), folder / "u.exe"));

    EXPECT_EQ(readFile(folder / "u.exe"), body);
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("\r\nRange: bytes=20480-\r\n"), std::string::npos);
    EXPECT_TRUE(recorder.logged(
        fill(texts::logRangeConnected, std::string("127.0.0.1"), server->port()), 0));
    EXPECT_FALSE(recorder.logged(std::string(texts::socketErrorText(-10)), 3))
        << "a short tail is judged as soon as its header has ended";
    EXPECT_EQ(recorder.codes(),
              (std::vector<std::int32_t>{connectionStarted, rangeStarted, sizeKnown, rangeStarted,
                                         connectionDone, taskEnded}));
    EXPECT_EQ(recorder.last(rangeStarted).value, 20480);
    EXPECT_EQ(recorder.bytesReported(), 20980);
}

TEST_F(EngineTransfer, RangeRepliesThatDoNotFitAreRefused) {
    struct Case {
        std::string name;
        std::string second;
    };
    const Case cases[] = {
        {"whole file again", R"({"body_file": "body.bin", "ignore_range": true})"},
        {"wrong Content-Range", R"({"body_file": "body.bin", "ranges": true, "range_shift": 7})"},
        {"200 of another length", R"({"body": "something else"})"},
    };
    const std::string body = randomBytes(30000, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder local;
        writeFile(local / "body.bin", body);
        Recorder seen;
        ScriptedServer replies(
            local, R"([{"body_file": "body.bin", "close_after": 20480}, )" + c.second + "]");
        TaskParam param = programParam(replies.url("/u.exe"), local / "u.exe");
        seen.attach(param);
        Download engine;
        ASSERT_TRUE(addTask(engine, param));
        ASSERT_TRUE(seen.waitEnded());
        EXPECT_TRUE(seen.logged(std::string(texts::logHttpError), 3));
        EXPECT_EQ(seen.last(connectionFailed).value, 20480);
        const std::string file = readFile(local / "u.exe");
        EXPECT_EQ(file.substr(0, 20480), body.substr(0, 20480));
        EXPECT_EQ(file.substr(20480), std::string(30000 - 20480, '\0'))
            << "nothing written out of place";
    }
}

TEST_F(EngineTransfer, NeverWritesMoreThanAnnounced) {
    serve(
        R"([{"status": "HTTP/1.1 302 Found", "headers": ["Location: /b.exe"], "body": "redirect body"},
              {"body": "exact", "extra": "and a long tail the server was never asked for"}])");
    download(programParam(server->url("/a.exe"), folder / "b.exe"));
    EXPECT_EQ(readFile(folder / "b.exe"), "exact");
    EXPECT_EQ(recorder.last(taskEnded).value, 5);
}

TEST_F(EngineTransfer, ServerSuggestedNamesStayInTheFolder) {
    struct Case {
        std::string disposition;
        std::string created;  // empty: nothing created
    };
    const Case cases[] = {
        {R"(attachment; filename=\"pkg.exe\")", "pkg.exe"},
        {R"(attachment; filename=\"../../escape.exe\")", "escape.exe"},
        {R"(attachment; filename=\"..\\..\\escape.exe\")", "escape.exe"},
        {R"(attachment; filename=\"..\")", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disposition);
        TempFolder root;
        const fs::path inner = root / "a" / "b";
        fs::create_directories(inner);
        Recorder seen;
        ScriptedServer replies(root, R"([{"body": "named", "headers": ["Content-Disposition: )" +
                                         c.disposition + R"("]}])");
        TaskParam param = programParam(replies.url("/get"), inner);
        param.localPath = inner.string() + "\\";
        seen.attach(param);
        Download engine;
        ASSERT_TRUE(addTask(engine, param));
        ASSERT_TRUE(seen.waitEnded());
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(root.path()))
            if (entry.is_regular_file() && entry.path().parent_path().filename() != "requests" &&
                entry.path().filename() != "script.json")
                files.push_back(entry.path());
        if (c.created.empty()) {
            EXPECT_TRUE(files.empty());
            EXPECT_TRUE(seen.logged(std::string(texts::logCreateFileFailed), 3));
        } else {
            ASSERT_EQ(files, std::vector<fs::path>{inner / c.created});
            EXPECT_EQ(readFile(inner / c.created), "named");
            EXPECT_EQ(seen.last(sizeKnown).path, inner.string() + "\\" + c.created);
        }
    }
}

TEST_F(EngineTransfer, SeveralConnectionsShareALargeFile) {
    const std::string body = randomBytes((3 << 20) + 7, 5);
    writeFile(folder / "body.bin", body);
    serve(R"([{"body_file": "body.bin", "ranges": true}])");
    for (int connections : {2, 4, 8}) {
        SCOPED_TRACE(connections);
        Recorder seen;
        const fs::path local = folder / ("many" + std::to_string(connections) + ".bin");
        TaskParam param = programParam(server->url("/big.bin"), local);
        param.connections = connections;
        param.receiveBlock = 20480;
        seen.attach(param);
        const std::size_t before = server->requests().size();
        Download engine;
        ASSERT_TRUE(addTask(engine, param));
        ASSERT_TRUE(seen.waitEnded());
        EXPECT_TRUE(readFile(local) == body) << "file differs";
        EXPECT_EQ(seen.last(taskEnded).value, static_cast<std::int32_t>(body.size()));
        EXPECT_EQ(seen.bytesReported(), static_cast<std::int64_t>(body.size()));
        const auto codes = seen.codes();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), connectionStarted), connections);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), connectionDone), connections);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), connectionFailed), 0);

        // Every further range is asked for from its first byte. A connection
        // that finds no free range left (one finished early and took it over)
        // splits the largest one instead, asking from inside the file.
        const auto requests = server->requests();
        std::vector<std::int64_t> offsets;
        for (std::size_t i = before; i < requests.size(); ++i) {
            const auto at = requests[i].find("\r\nRange: bytes=");
            if (at != std::string::npos) offsets.push_back(std::stoll(requests[i].substr(at + 15)));
        }
        for (int k = 1; k < connections; ++k) {
            const std::int64_t start = static_cast<std::int64_t>(body.size() / connections * k);
            EXPECT_EQ(std::count(offsets.begin(), offsets.end(), start), 1) << start;
        }
        for (std::int64_t offset : offsets) {
            EXPECT_GT(offset, 0);
            EXPECT_LT(offset, static_cast<std::int64_t>(body.size()));
        }
    }
}

TEST_F(EngineTransfer, ASmallFileTakesOneRangeWhateverTheConnections) {
    serve(R"([{"body": "small", "ranges": true}])");
    TaskParam param = programParam(server->url("/s.exe"), folder / "s.exe");
    param.connections = 4;
    download(param);
    EXPECT_EQ(server->requests().size(), 1u);
    EXPECT_EQ(readFile(folder / "s.exe"), "small");
    EXPECT_EQ(recorder.codes(), succeeded);
}

}  // namespace
