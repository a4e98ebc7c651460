#include "services/web_fetch.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "services/fetch_url.h"
#include "services/proxy_choice.h"
#include "services/texts.h"
#include "services/web_fetch_timeouts.h"

namespace {

constexpr long maxRedirects = 10;

std::atomic<long> connectTimeoutMs{FetchTimeouts{}.connect.count()};
std::atomic<long> totalTimeoutMs{FetchTimeouts{}.total.count()};

bool startCurl() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return started;
}

size_t appendBody(char* data, size_t size, size_t count, void* result) {
    static_cast<std::string*>(result)->append(data, size * count);
    return size * count;
}

// Control bytes in the host or the object would end up raw in the request.
bool hasControlBytes(std::string_view text) {
    for (const char c : text) {
        if ((c >= 0 && c < 0x20) || c == 0x7f) return true;
    }
    return false;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

FetchTimeouts fetchTimeouts() {
    return {std::chrono::milliseconds(connectTimeoutMs.load()),
            std::chrono::milliseconds(totalTimeoutMs.load())};
}

void setFetchTimeouts(FetchTimeouts timeouts) {
    connectTimeoutMs = timeouts.connect.count();
    totalTimeoutMs = timeouts.total.count();
}

namespace {

// One exchange, without following a redirect. The request target is given
// verbatim: the library would percent-encode bytes that the release paths may
// hold. Empty when the response is not a redirect to follow.
std::string exchange(CURL* c, const FetchUrl& parts, const FetchUrl& origin, std::string& body) {
    const bool sameServer =
        parts.host == origin.host && parts.port == origin.port && parts.secure == origin.secure;
    const bool defaultPort = parts.port == (parts.secure ? 443 : 80);
    const std::string base = std::string(parts.secure ? "https://" : "http://") + parts.host +
                             (defaultPort ? "" : ":" + std::to_string(parts.port));
    const std::string url = base + "/";
    // A proxy that is not tunnelled to takes the absolute form of the target.
    const std::string proxy = proxyFor(parts.secure, parts.host);
    const std::string target = proxy.empty() || parts.secure ? parts.object : base + parts.object;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(c, CURLOPT_NOPROXY, "");
    curl_easy_setopt(c, CURLOPT_REQUEST_TARGET, target.c_str());
    // The URL's own credentials, never handed on to another server.
    const FetchUrl& credentials = parts.user.empty() && sameServer ? origin : parts;
    if (!credentials.user.empty() || !credentials.password.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, credentials.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, credentials.password.c_str());
    } else {
        curl_easy_setopt(c, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(c, CURLOPT_PASSWORD, nullptr);
    }
    body.clear();
    // Whatever the outcome, the bytes that arrived are the result.
    if (curl_easy_perform(c) != CURLE_OK) return {};
    char* location = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || !location) return {};
    return location;
}

bool sendable(const FetchUrl& parts) {
    return !hasControlBytes(parts.host) && !hasControlBytes(parts.object) &&
           parts.host.find_first_of(" \\") == std::string::npos &&
           parts.object.find(' ') == std::string::npos;
}

}  // namespace

std::string fetchUrl(std::string_view url) {
    if (url.empty()) return {};
    const auto origin = FetchUrl::split(bytesToText(url));
    if (!origin || !sendable(*origin)) return {};
    if (!startCurl()) return {};
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return {};

    const std::string agent(texts::fetchAgent);
    // Every body comes from the server: nothing on the way may answer from a cache.
    std::unique_ptr<curl_slist, HeaderListDeleter> headers(
        curl_slist_append(nullptr, "Accept: */*"));
    if (!headers || !curl_slist_append(headers.get(), "Pragma: no-cache")) return {};

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(c, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs.load());
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalTimeoutMs.load());
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    std::string body;
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);

    FetchUrl parts = *origin;
    for (long redirects = 0;; ++redirects) {
        const std::string location = exchange(c, parts, *origin, body);
        if (location.empty()) return body;
        const auto next = FetchUrl::split(location);
        // A redirect that cannot be followed leaves its own body as the result.
        if (redirects == maxRedirects || !next || !sendable(*next)) return body;
        parts = *next;
    }
}

std::string bytesToText(std::string_view data) {
    return std::string(data.substr(0, data.find('\0')));
}
