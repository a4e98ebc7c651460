#include "services/web_fetch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "services/texts.h"
#include "services/web_fetch_timeouts.h"
#include "tests/support/local_http_server.h"

namespace {

using namespace std::chrono_literals;

class WebFetch : public ::testing::Test {
protected:
    void SetUp() override {
        // A proxy set for the machine would see the loopback requests instead of our server.
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                 "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            ::unsetenv(name);
        }
    }
    void TearDown() override { setFetchTimeouts(FetchTimeouts{}); }

    std::string expectedHead(std::string_view target, std::string_view extra = {}) const {
        return "GET " + std::string(target) + " HTTP/1.0\r\nHost: " + server.hostPort() + "\r\n" +
               std::string(extra) + "User-Agent: " + std::string(texts::fetchAgent) +
               "\r\nAccept: */*\r\nPragma: no-cache\r\n\r\n";
    }

    LocalHttpServer server;
};

TEST_F(WebFetch, SendsOneExactHttp10GetAndReturnsTheBody) {
    server.serve("/tolvek/09update.txt", {.body = "notice text"});
    EXPECT_EQ(fetchUrl(server.url("/tolvek/09update.txt")), "notice text");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], expectedHead("/tolvek/09update.txt"));
}

TEST_F(WebFetch, ReturnsWhatArrivedWhateverTheStatus) {
    std::string large(300 * 1024, 'x');
    for (std::size_t i = 0; i < large.size(); i += 997) large[i] = static_cast<char>('a' + i % 26);
    struct Case {
        const char* name;
        CannedReply reply;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"404 with an error page",
         {.status = 404, .reason = "Not Found", .body = "<html>missing</html>"},
         "<html>missing</html>"},
        {"500 with a body", {.status = 500, .reason = "Oops", .body = "down"}, "down"},
        {"no Content-Length", {.body = "until the end", .contentLength = false}, "until the end"},
        {"connection cut mid-body", {.body = "0123456789", .cutAfter = 4}, "0123"},
        {"empty body", {.body = ""}, ""},
        {"zero bytes kept", {.body = std::string("abc\0def", 7)}, std::string("abc\0def", 7)},
        {"larger than any read", {.body = large}, large},
        {"declared charset ignored",
         {.headers = {{"Content-Type", "text/html; charset=utf-8"}},
          .body = "\xEF\xBB\xBF\xD5\xE6"},
         "\xEF\xBB\xBF\xD5\xE6"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string target = "/case" + std::to_string(i);
        server.serve(target, cases[i].reply);
        EXPECT_EQ(fetchUrl(server.url(target)), cases[i].expected) << cases[i].name;
    }
}

TEST_F(WebFetch, SendsTheObjectResolvedButNotEncoded) {
    server.serve("/x", {.body = "ok"});
    struct Case {
        std::string path;  // after "http://127.0.0.1:port"
        std::string target;
    };
    const std::vector<Case> cases = {
        {"/a?x=1#fragment", "/a?x=1"},
        {"/a#frag?not=query", "/a"},
        {"/a/./b/../c", "/a/c"},
        {"/a/b/../../../c", "/c"},
        {"/a/..", "/"},
        {"/p?q=../x/./y", "/p?q=../x/./y"},
        {"/%41%2e%2E/b", "/%41%2e%2E/b"},
        {"/\xD5\xE6\\\xC3\xFB.txt", "/\xD5\xE6\\\xC3\xFB.txt"},
        {"", "/"},
        {"?only=query", "/?only=query"},
    };
    for (const auto& c : cases) {
        const auto before = server.requests().size();
        fetchUrl(server.url(c.path));
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), before + 1) << c.path;
        EXPECT_EQ(requests.back(), expectedHead(c.target)) << c.path;
    }
    EXPECT_EQ(fetchUrl("HTTP://" + server.hostPort() + "/x"), "ok");
}

TEST_F(WebFetch, RefusesWhatCannotBeSentWithoutSendingAnything) {
    const std::string host = server.hostPort();
    const std::vector<std::string> urls = {
        "",
        host + "/x",
        "/x",
        "ftp://" + host + "/x",
        "file:///etc/passwd",
        "gopher://" + host + "/",
        "http://" + std::string(256, 'h') + "/x",
        "http://" + host + "/" + std::string(2047, 'o'),
        "http://" + host + "/x?" + std::string(2045, 'q'),
        "http://" + std::string(128, 'u') + "@" + host + "/x",
        "http://user:" + std::string(128, 'p') + "@" + host + "/x",
        "http://:80/x",
        "http://" + host.substr(0, host.find(':')) + ":99999/x",
        "http://" + host.substr(0, host.find(':')) + ":8a/x",
        "http://" + host + "/x\r\nX-Injected: 1",
        "http://" + host + "/x\ny",
    };
    for (const auto& url : urls) {
        EXPECT_EQ(fetchUrl(url), "") << url;
    }
    EXPECT_TRUE(server.requests().empty());
    // The limits are the buffers' sizes: one byte less still goes out.
    server.serve("/" + std::string(2046, 'o'), {.body = "longest"});
    EXPECT_EQ(fetchUrl("http://" + host + "/" + std::string(2046, 'o')), "longest");
}

TEST_F(WebFetch, FollowsRedirectsToTheirEnd) {
    LocalHttpServer other;
    other.serve("/final", {.body = "moved here"});
    server.serve("/old", CannedReply::redirect("/new"));
    server.serve("/new", CannedReply::redirect(other.url("/final"), 301));
    EXPECT_EQ(fetchUrl(server.url("/old")), "moved here");
    EXPECT_EQ(server.requests().size(), 2u);
    ASSERT_EQ(other.requests().size(), 1u);
    EXPECT_TRUE(other.requests()[0].starts_with("GET /final HTTP/1.0\r\n"));
}

TEST_F(WebFetch, StopsARedirectLoopAndAnEscapeToAnotherScheme) {
    server.serve("/loop", CannedReply::redirect("/loop"));
    EXPECT_EQ(fetchUrl(server.url("/loop")), "");
    EXPECT_GE(server.requests().size(), 2u);
    EXPECT_LE(server.requests().size(), 11u);

    server.serve("/to-file", CannedReply::redirect("file:///etc/passwd"));
    EXPECT_EQ(fetchUrl(server.url("/to-file")), "");
}

TEST_F(WebFetch, SendsCredentialsOfTheUrl) {
    server.serve("/private", {.body = "secret page"});
    const std::string url = "http://alice:s3cret@" + server.hostPort() + "/private";
    EXPECT_EQ(fetchUrl(url), "secret page");
    ASSERT_EQ(server.requests().size(), 1u);
    // "alice:s3cret" in base64.
    EXPECT_EQ(server.requests()[0],
              expectedHead("/private", "Authorization: Basic YWxpY2U6czNjcmV0\r\n"));
}

TEST_F(WebFetch, EveryCallGoesToTheServer) {
    server.serve("/page", {.body = "fresh"});
    EXPECT_EQ(fetchUrl(server.url("/page")), "fresh");
    server.serve("/page", {.body = "fresher"});
    EXPECT_EQ(fetchUrl(server.url("/page")), "fresher");
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(WebFetch, AStalledServerYieldsWhatArrivedWhenTheTimeRunsOut) {
    setFetchTimeouts({.connect = 1000ms, .total = 1000ms});
    server.serve("/stall", {.body = "abcdefgh", .cutAfter = 3, .stall = true});
    server.serve("/silent", {.delay = 5000ms});
    EXPECT_EQ(fetchUrl(server.url("/stall")), "abc");
    EXPECT_EQ(fetchUrl(server.url("/silent")), "");
}

TEST_F(WebFetch, GoesThroughTheProxyOfTheEnvironmentUnlessExcluded) {
    LocalHttpServer proxy;
    const std::string direct = server.url("/page");
    proxy.serve(direct, {.body = "via proxy"});
    server.serve("/page", {.body = "direct"});
    ::setenv("http_proxy", proxy.url("").c_str(), 1);
    struct Case {
        const char* noProxy;
        std::string expected;
    };
    const Case cases[] = {
        {"", "via proxy"},
        {"localhost, 127.0.0.1", "direct"},
        {"*", "direct"},
        {"7.0.0.1", "via proxy"},  // a suffix counts only at a dot
        {"example.invalid", "via proxy"},
    };
    for (const auto& c : cases) {
        ::setenv("no_proxy", c.noProxy, 1);
        EXPECT_EQ(fetchUrl(direct), c.expected) << c.noProxy;
    }
    ::unsetenv("no_proxy");
    ::unsetenv("http_proxy");
    ASSERT_FALSE(proxy.requests().empty());
    EXPECT_TRUE(proxy.requests()[0].starts_with("GET " + direct + " HTTP/1.0\r\n"))
        << proxy.requests()[0];
}

TEST(ResolveHost, GivesTheFirstIpv4AddressOrNothing) {
    struct Case {
        std::string name;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"localhost", "127.0.0.1"},  // never the IPv6 loopback
        {"127.0.0.1", "127.0.0.1"},
        {"", ""},
        // A label longer than 63 bytes fails before any query leaves the machine.
        {std::string(64, 'a') + ".invalid", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolveHost(c.name), c.expected) << c.name;
    }
}

TEST(BytesToText, CutsAtTheFirstZeroByte) {
    struct Case {
        std::string data;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {std::string("abc\0def", 7), "abc"},
        {std::string("\0abc", 4), ""},
        {"", ""},
        {"\xEF\xBB\xBF\xD5\xE6\r\n", "\xEF\xBB\xBF\xD5\xE6\r\n"},  // no conversion of any kind
    };
    for (const auto& c : cases) EXPECT_EQ(bytesToText(c.data), c.expected);
}

}  // namespace
