// Prints how long the release-page search takes on an ordinary page and on
// crafted pages, and, for comparison, how long the matching engine alone takes
// on small crafted pages.
//
//     page_search_bench [engine-alone page size in KB, default 64 256 1024]...

#include <boost/regex.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "check/pattern.h"
#include "check/release_page.h"
#include "services/texts.h"

namespace {

constexpr std::size_t kb = 1024;
constexpr std::size_t mb = 1024 * kb;
const std::string host = "down.example.net";

std::string linkPrefix() { return "http://" + host + "/netver/10netver/"; }

std::string cellHead() {
    const std::string_view pattern = texts::versionCellPattern;
    return std::string(pattern.substr(0, pattern.find('(')));
}

std::string repeatTo(const std::string& unit, std::size_t size) {
    std::string page;
    page.reserve(size + unit.size());
    while (page.size() < size) page += unit;
    return page;
}

std::string ordinaryPage(std::size_t size) {
    std::string page = "<html><body><table>\r\n";
    const std::string row =
        "<tr><td width=\"120\">2010-05-18</td><td><a href=\"http://www.example.net/news/"
        "a.htm\">notes</a></td><td align=\"center\">12.3 MB</td></tr>\r\n";
    while (page.size() < size / 2) page += row;
    page += "<a href=\"" + linkPrefix() + "20100518/Update.exe\">download</a>\r\n";
    page += cellHead() + "22.00.32.25</td>\r\n";
    while (page.size() < size) page += row;
    return page + "</table></body></html>\r\n";
}

struct Page {
    const char* name;
    std::string text;
};

double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Both searches the start-up check makes, each pattern compiled as it does.
double programSearch(const std::string& page, std::size_t& found) {
    return millisecondsOf([&] {
        regex link;
        regex cell;
        compilePattern(link, packageLinkPattern(host));
        compilePattern(cell, texts::versionCellPattern);
        found = (searchFirst(link, page, 1).empty() ? 0 : 1) + searchAll(cell, page).size();
    });
}

// The engine on the whole page with the link pattern, no cut.
double engineAlone(const std::string& pattern, const std::string& page, const char*& outcome) {
    return millisecondsOf([&] {
        const boost::regex raw(pattern, boost::regex::perl);
        try {
            outcome = boost::regex_search(page, raw) ? "match" : "no match";
        } catch (const std::runtime_error&) {
            outcome = "work limit";
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> engineSizes;
    for (int i = 1; i < argc; ++i) engineSizes.push_back(std::strtoul(argv[i], nullptr, 10) * kb);
    if (engineSizes.empty()) engineSizes = {64 * kb, 256 * kb, 1024 * kb};

    const std::string prefixes = repeatTo(linkPrefix(), 10 * mb);
    const std::vector<Page> pages = {
        {"ordinary page, 1 MB", ordinaryPage(1 * mb)},
        {"ordinary page, 10 MB", ordinaryPage(10 * mb)},
        {"link prefixes, no package", prefixes},
        {"link prefixes, one package at the end", prefixes + "/Update.exe\""},
        {"link prefixes around one package in the middle",
         prefixes.substr(0, 5 * mb) + "/Update.exe\"" + prefixes.substr(0, 5 * mb)},
        {"link prefixes and near misses, one package at the end",
         repeatTo(linkPrefix() + "/Updat/Update.ex", 10 * mb) + "/Update.exe\""},
        {"one version-cell head, then no cell end", cellHead() + repeatTo("<td>x</t", 10 * mb)},
        {"version-cell heads back to back", repeatTo(cellHead(), 10 * mb)},
        {"link prefixes, then version-cell heads",
         prefixes.substr(0, 5 * mb) + repeatTo(cellHead(), 5 * mb)},
    };

    std::printf("Both searches of the start-up check, as the program makes them:\n");
    std::printf("%-56s %10s %10s %8s\n", "page", "size (MB)", "time (ms)", "matches");
    for (const Page& page : pages) {
        std::size_t found = 0;
        double best = 1e300;
        for (int run = 0; run < 3; ++run) best = std::min(best, programSearch(page.text, found));
        std::printf("%-56s %10.2f %10.2f %8zu\n", page.name,
                    static_cast<double>(page.text.size()) / mb, best, found);
    }

    std::printf("\nThe matching engine alone on the whole page (no cut):\n");
    std::printf("%-56s %10s %10s %10s\n", "page", "size (KB)", "time (ms)", "outcome");
    for (const std::size_t size : engineSizes) {
        const char* outcome = "";
        const double ms =
            engineAlone(packageLinkPattern(host), repeatTo(linkPrefix(), size), outcome);
        std::printf("%-56s %10zu %10.1f %10s\n", "link prefixes, no package", size / kb, ms,
                    outcome);
    }
    return 0;
}
