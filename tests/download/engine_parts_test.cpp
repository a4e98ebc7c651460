// The pieces of the transfer engine that need no network: URL parts, paths,
// header fields, redirections, request texts, ranges, log time stamps and the
// queue between connections and the task thread.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "download/event_queue.h"
#include "download/http_header.h"
#include "download/http_target.h"
#include "download/local_file.h"
#include "download/log_time.h"
#include "download/path_text.h"
#include "download/range_table.h"
#include "download/url_parts.h"
#include "engine_fixture.h"
#include "services/texts.h"

namespace {

TEST(UrlParts, SplitsSchemeHostPortAndPath) {
    struct Case {
        std::string url;
        Scheme scheme;
        std::string host;
        std::string path;
        int port;
    };
    const Case cases[] = {
        {"http://host/dir/sub/update.exe", Scheme::http, "host", "/dir/sub/update.exe", 80},
        {"HTTP://Host:8080/X/Y.exe", Scheme::http, "Host:8080", "/X/Y.exe", 8080},
        {"ftp://files/a", Scheme::ftp, "files", "/a", 21},
        {"mms://media/s", Scheme::mms, "media", "/s", 1755},
        {"MMST://media/s", Scheme::mms, "media", "/s", 1755},
        {"rtsp://media/s", Scheme::rtsp, "media", "/s", 554},
        {"http://h/", Scheme::http, "h", "/", 80},
    };
    for (const Case& c : cases) {
        const auto parts = splitUrl(c.url);
        ASSERT_TRUE(parts) << c.url;
        EXPECT_EQ(parts->scheme, c.scheme) << c.url;
        EXPECT_EQ(parts->host, c.host) << c.url;
        EXPECT_EQ(parts->path, c.path) << c.url;
        EXPECT_EQ(parts->port, c.port) << c.url;
    }
}

TEST(UrlParts, RefusesUnusableUrls) {
    for (const char* url :
         {"https://host/x", "host/x", "http://host", "http:///x", "", "http:/h/x", "gopher://h/x"})
        EXPECT_FALSE(splitUrl(url)) << url;
}

TEST(UrlParts, RecognisesDottedAddresses) {
    struct Case {
        const char* text;
        bool dotted;
    };
    const Case cases[] = {{"127.0.0.1", true},  {"255.255.255.255", true}, {"0.0.0.0", true},
                          {"256.1.1.1", false}, {"1.2.3", false},          {"1.2.3.4.5", false},
                          {"1..3.4", false},    {"1.2.3.4:80", false},     {"0001.1.1.1", false},
                          {"localhost", false}, {"1.2.3.a", false}};
    for (const Case& c : cases) EXPECT_EQ(isDottedAddress(c.text), c.dotted) << c.text;
}

TEST(UrlParts, EncodesOnlyBlanks) {
    EXPECT_EQ(encodeTarget("/a b/c  d.exe"), "/a%20b/c%20%20d.exe");
    EXPECT_EQ(encodeTarget("/%41?x=1&y=<>"), "/%41?x=1&y=<>");
}

TEST(LogTime, DropsTrailingZeroParts) {
    struct Case {
        LocalTime time;
        std::string expected;
    };
    auto text = [](int y, int mo, int d) {
        char line[128];
        std::snprintf(line, sizeof line, std::string(texts::logDate).c_str(), y, mo, d);
        return std::string(line);
    };
    auto clock = [](std::string_view format, int a, int b = 0, int c = 0) {
        char line[128];
        std::snprintf(line, sizeof line, std::string(format).c_str(), a, b, c);
        return std::string(line);
    };
    const Case cases[] = {
        {{2010, 3, 7, 14, 5, 9}, text(2010, 3, 7) + clock(texts::logHourMinuteSecond, 14, 5, 9)},
        {{2010, 3, 7, 0, 0, 9}, text(2010, 3, 7) + clock(texts::logHourMinuteSecond, 0, 0, 9)},
        {{2010, 3, 7, 14, 5, 0}, text(2010, 3, 7) + clock(texts::logHourMinute, 14, 5)},
        {{2010, 3, 7, 0, 30, 0}, text(2010, 3, 7) + clock(texts::logHourMinute, 0, 30)},
        {{2010, 3, 7, 14, 0, 0}, text(2010, 3, 7) + clock(texts::logHour, 14)},
        {{2010, 12, 31, 0, 0, 0}, text(2010, 12, 31)},
    };
    for (const Case& c : cases) EXPECT_EQ(formatLogTime(c.time), c.expected);
}

TEST(PathText, RenamesLikeTheProgram) {
    struct Case {
        std::string path;
        std::optional<std::string> renamed;
    };
    const std::string gbkFolder = "C:\\\xD7\x5C\\";  // a character whose trail byte is "\"
    const Case cases[] = {
        {"C:\\dir\\update.exe", "C:\\dir\\update(1).exe"},
        {"C:\\dir\\update(1).exe", "C:\\dir\\update(2).exe"},
        {"C:\\dir\\update(9).exe", "C:\\dir\\update(10).exe"},
        {"C:\\dir\\update(98).exe", "C:\\dir\\update(99).exe"},
        {"C:\\dir\\update(99).exe", std::nullopt},
        {"C:\\dir\\update(100).exe", "C:\\dir\\update(100)(1).exe"},
        {"C:\\dir\\update(x).exe", "C:\\dir\\update(x)(1).exe"},
        {"C:\\dir\\archive.tar.gz", "C:\\dir\\archive(1).tar.gz"},
        {"C:\\dir\\README", "C:\\dir\\README(1)"},
        {"C:\\d.x\\file", "C:\\d.x\\file(1)"},
        {"/tmp/a/update.exe", "/tmp/a/update(1).exe"},
        {gbkFolder + "a.exe", gbkFolder + "a(1).exe"},
        {std::string(250, 'p') + "\\abc.exe", std::nullopt},  // would pass 259 bytes
    };
    for (const Case& c : cases) EXPECT_EQ(renamedPath(c.path), c.renamed) << c.path;
}

TEST(PathText, SuggestedNamesStayInTheirFolder) {
    struct Case {
        std::string suggested;
        std::string name;
    };
    const Case cases[] = {{"update.exe", "update.exe"},
                          {"../../evil.exe", "evil.exe"},
                          {"..\\..\\evil.exe", "evil.exe"},
                          {"/etc/passwd", "passwd"},
                          {"..", ""},
                          {".", ""},
                          {"dir/", ""},
                          {"", ""},
                          {"a..b.exe", "a..b.exe"}};
    for (const Case& c : cases) EXPECT_EQ(plainFileName(c.suggested), c.name) << c.suggested;
    EXPECT_TRUE(endsWithSeparator("C:\\dir\\"));
    EXPECT_FALSE(endsWithSeparator("C:\\\xD7\x5C"));  // the trail byte is no separator
}

TEST(HttpHeader, FindsTheHeaderOnceItHasEnded) {
    EXPECT_FALSE(findHeader("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"));
    EXPECT_FALSE(findHeader("\r\n\r\n"));
    const std::string received = "junkHTTP/1.0 200 OK\r\nA: b\r\n\r\nbody";
    const auto span = findHeader(received);
    ASSERT_TRUE(span);
    EXPECT_EQ(received.substr(span->start, span->end - span->start),
              "HTTP/1.0 200 OK\r\nA: b\r\n\r\n");
    EXPECT_EQ(received.substr(span->end), "body");
}

TEST(HttpHeader, ReadsSizesAsSigned32BitOnly) {
    struct Case {
        const char* value;
        std::int64_t length;
    };
    const Case cases[] = {{"0", 0},
                          {"12345", 12345},
                          {"2147483647", 2147483647},
                          {"7 ", 7},
                          {"2147483648", badContentLength},
                          {"99999999999999999999999", badContentLength},
                          {"-5", badContentLength},
                          {"abc", badContentLength},
                          {"12abc", badContentLength},
                          {"", badContentLength}};
    for (const Case& c : cases) EXPECT_EQ(parseContentLength(c.value), c.length) << c.value;
}

TEST(HttpHeader, TakesFieldsByStatus) {
    const auto ok = parseHeader(
        "HTTP/1.1 200 OK\r\nContent-length: 42\r\nSet-Cookie: a=b; path=/\r\n"
        "Content-Disposition: attachment; filename=\"pkg.exe\"\r\nLocation: /ignored\r\n\r\n");
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.contentLength, 42);
    EXPECT_EQ(ok.setCookie, "a=b; path=/");
    EXPECT_EQ(dispositionFileName(ok.disposition), "pkg.exe");
    EXPECT_EQ(ok.location, "");

    const auto partial = parseHeader(
        "HTTP/1.1 206 Partial\r\nContent-Length: 9\r\nContent-Range: bytes 5-13/14\r\n\r\n");
    EXPECT_EQ(partial.contentLength, noContentLength);
    EXPECT_EQ(partial.contentRange, "bytes 5-13/14");

    // A field is matched at a line's start only, and no line break survives.
    const auto moved = parseHeader(
        "HTTP/1.1 302 Found\r\nContent-Location: /wrong\r\nLocation: /right\nInjected: 1\r\n\r\n");
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved.location, "/rightInjected: 1");
    EXPECT_EQ(parseHeader("HTTP/1.1 2x0 Odd\r\n\r\n").status, 2);
    EXPECT_EQ(dispositionFileName("attachment; filename=plain.exe"), "plain.exe");
}

TEST(HttpHeader, ParsesContentRange) {
    EXPECT_EQ(parseContentRange("bytes 100-199/200")->first, 100);
    EXPECT_EQ(parseContentRange("bytes 100-199/200")->total, 200);
    EXPECT_EQ(parseContentRange("bytes 0-0/*")->total, -1);
    for (const char* bad : {"bytes */200", "bytes 5-4/9", "items 1-2/3", "bytes 1-2", ""})
        EXPECT_FALSE(parseContentRange(bad)) << bad;
}

HttpTarget targetFor(const std::string& url, const std::string& proxy = {}) {
    return makeHttpTarget(url, *splitUrl(url), "", proxy);
}

TEST(HttpTarget, BuildsTheRequestTextToTheByte) {
    const std::string agent(texts::engineAgent);
    EXPECT_EQ(buildRequest(targetFor("http://host/dir/sub/update.exe"), ""),
              "GET /dir/sub/update.exe HTTP/1.1\r\nHost: host\r\nAccept: */*\r\n"
              "Referer: http://host/dir/sub\r\nUser-Agent: " +
                  agent +
                  "\r\nPragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(buildRequest(targetFor("http://h:8080/a b/%41.exe"), rangeLine(20480)),
              "GET /a%20b/%41.exe HTTP/1.1\r\nHost: h:8080\r\nAccept: */*\r\n"
              "Referer: http://h:8080/a b\r\nUser-Agent: " +
                  agent +
                  "\r\nRange: bytes=20480-\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n"
                  "Connection: close\r\n\r\n");
    const HttpTarget viaProxy = targetFor("http://h/x/y.exe", "proxy.local:3128");
    EXPECT_EQ(viaProxy.proxyHost, "proxy.local");
    EXPECT_EQ(viaProxy.proxyPort, 3128);
    EXPECT_EQ(targetFor("http://h/x", "proxy.local").proxyPort, 80);
    EXPECT_EQ(buildRequest(viaProxy, ""),
              "GET http://h/x/y.exe HTTP/1.1\r\nHost: h\r\nUser-Agent: " + agent +
                  "\r\nProxy-Connection: Keep-Alive\r\n\r\n\r\n");
    EXPECT_EQ(buildRequest(targetFor("http://h/" + std::string(1100, 'x')), ""), "");
}

TEST(HttpTarget, AppliesRedirections) {
    struct Case {
        std::string location;
        std::string cookie;
        bool applies;
        std::string target;
        std::string host;
        int port;
        std::string referer;
        std::string cookieLine;
    };
    const Case cases[] = {
        {"http://other/y/update.exe", "", true, "/y/update.exe", "other", 8080, "http://other/y",
         ""},
        {"http://other:81/y.exe", "id=7; path=/", true, "/y.exe", "other:81", 81, "http://other:81",
         "Cookie: id=7\r\n"},
        {"sub/b.exe", "", true, "/dir/sub/b.exe", "h:8080", 8080, "http://h:8080/sub", ""},
        {"/root/c.exe", "", true, "/root/c.exe", "h:8080", 8080, "http://h:8080/root", ""},
        {"ftp://h/x", "", false},
        {"http://nopath", "", false},
        {"sub/x", std::string(4087, 'c'), false},
        {std::string(1100, 'l'), "", false},
    };
    for (const Case& c : cases) {
        HttpTarget target = targetFor("http://h:8080/dir/a.exe");
        ResponseHeader header;
        header.status = 302;
        header.location = c.location;
        header.setCookie = c.cookie;
        ASSERT_EQ(applyRedirection(target, header), c.applies) << c.location;
        if (!c.applies) {
            EXPECT_EQ(target.target, "/dir/a.exe") << "a refused redirection changes nothing";
            continue;
        }
        EXPECT_EQ(target.target, c.target) << c.location;
        EXPECT_EQ(target.hostText, c.host) << c.location;
        EXPECT_EQ(target.port, c.port) << c.location;
        EXPECT_EQ(target.referer, c.referer) << c.location;
        EXPECT_EQ(target.cookieLine, c.cookieLine) << c.location;
    }
}

TEST(RangeTable, CutsAndSplitsRanges) {
    RangeTable table;
    table.build(20479, 8);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].length, 20479);

    table.build(100003, 4);
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[1].start, 25000);
    EXPECT_EQ(table[3].start, 75000);
    EXPECT_EQ(table[3].length, 25003);

    table.build(100000, 0);
    EXPECT_EQ(table.size(), 1u);
    table.build(1 << 30, 1 << 30);
    EXPECT_EQ(table.size(), static_cast<std::size_t>(RangeTable::maxRanges));

    table.build(200000, 2);
    ASSERT_EQ(table.takeFree(1), 0u);
    ASSERT_EQ(table.takeFree(2), 1u);
    EXPECT_FALSE(table.takeFree(3));
    table[0].done = 100000;  // complete
    table[1].done = 10000;   // 90000 left
    const auto split = table.splitLargest(3);
    ASSERT_TRUE(split);
    EXPECT_EQ(table[1].end(), table[*split].start);
    EXPECT_EQ(table[*split].end(), 200000);
    EXPECT_EQ(table[*split].length, 45000);
    EXPECT_EQ(table[*split].owner, 3);
    table[1].done = table[1].length - 40959;  // under twice the transfer buffer
    table[*split].done = table[*split].length;
    EXPECT_FALSE(table.splitLargest(4));

    // A connection writes a full buffer without looking at its range again:
    // a split must leave that much before the new half.
    for (std::int64_t left : {2 * RangeTable::transferBuffer, 2 * RangeTable::transferBuffer + 1,
                              std::int64_t{1} << 30}) {
        table.build(left + 5000, 1);
        table[0].done = 5000;
        ASSERT_TRUE(table.splitLargest(2)) << left;
        EXPECT_GE(table[0].left(), RangeTable::transferBuffer) << left;
        EXPECT_EQ(table[0].end(), table[1].start) << left;
    }
}

TEST(LocalFile, NeverFollowsALinkOrWritesOutsideTheFile) {
    TempFolder folder;
    const auto target = folder / "target";
    writeFile(target, "keep");
    std::filesystem::create_symlink(target, folder / "link");
    LocalFile file;
    EXPECT_FALSE(file.create((folder / "link").string(), 10));
    EXPECT_EQ(readFile(target), "keep");
    EXPECT_EQ(LocalFile::existingSize((folder / "link").string()).has_value(), true);

    writeFile(folder / "exists", "x");
    EXPECT_FALSE(file.create((folder / "exists").string(), 10));
    EXPECT_EQ(readFile(folder / "exists"), "x");

    ASSERT_TRUE(file.create((folder / "new").string(), 10));
    EXPECT_TRUE(file.write(6, "abcd", 4));
    EXPECT_FALSE(file.write(7, "abcd", 4));
    EXPECT_FALSE(file.write(-1, "a", 1));
    file.close();
    EXPECT_EQ(readFile(folder / "new"), std::string(6, '\0') + "abcd");
}

TEST(EventQueue, KeepsEachSendersOrderAcrossTakes) {
    EventQueue queue;
    constexpr int perSender = 20000;  // many takes, and buffers that trade places often
    auto send = [&](std::intptr_t sender) {
        for (int i = 0; i < perSender; ++i) {
            EngineMessage message{EngineMessage::Kind::event, 16, sender, i};
            if (i % 1000 == 0)
                message.texts = std::make_unique<MessageTexts>(std::to_string(i), "time");
            queue.push(std::move(message), i % 3 == 0);
        }
    };
    std::thread first(send, 1);
    std::thread second(send, 2);

    std::vector<int> next(3, 0);
    bool inOrder = true;
    std::vector<EngineMessage> batch;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (inOrder && next[1] + next[2] < 2 * perSender &&
           std::chrono::steady_clock::now() < deadline) {
        queue.takeAll(batch, std::chrono::milliseconds(10));
        for (const EngineMessage& message : batch) {
            const auto sender = static_cast<std::size_t>(message.subject);
            inOrder = (sender == 1 || sender == 2) && message.value == next[sender] &&
                      (message.texts != nullptr) == (message.value % 1000 == 0) &&
                      (!message.texts || message.texts->text == std::to_string(message.value));
            if (!inOrder) break;
            ++next[sender];
        }
    }
    first.join();
    second.join();
    EXPECT_TRUE(inOrder) << "after " << next[1] << " and " << next[2] << " messages";
    EXPECT_EQ(next[1], perSender);
    EXPECT_EQ(next[2], perSender);

    queue.push({EngineMessage::Kind::log, 3, 7});
    const std::vector<EngineMessage> rest = queue.close();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].subject, 7);
    queue.push({EngineMessage::Kind::event, 4});  // discarded once closed
    queue.takeAll(batch, std::chrono::milliseconds(1));
    EXPECT_TRUE(batch.empty());
}

}  // namespace
