#include "check/pattern.h"

#include <gtest/gtest.h>

#include <boost/regex.hpp>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "check/lazy_group_cut.h"
#include "check/release_page.h"
#include "services/texts.h"

namespace {

struct Span {
    std::size_t offset;
    std::size_t length;
    bool operator==(const Span&) const = default;
};

std::optional<Span> whole(const SearchResult& result) {
    if (result.empty()) return std::nullopt;
    return Span{result.entries[0].offset, result.entries[0].length};
}

std::vector<Span> wholes(const std::vector<SearchResult>& list) {
    std::vector<Span> spans;
    for (const SearchResult& result : list) spans.push_back(*whole(result));
    return spans;
}

regex compiled(std::string_view pattern) {
    regex r;
    EXPECT_TRUE(compilePattern(r, pattern)) << pattern;
    return r;
}

struct FirstCase {
    const char* what;
    std::string pattern;
    std::string text;
    long long start;
    long long length;  // -1: to the end
    std::optional<Span> expected;
};

TEST(SearchFirst, RangeRulesAndMatchingRules) {
    const std::vector<FirstCase> cases = {
        {"plain match", "b", "abc", 1, -1, Span{1, 1}},
        {"empty text never matches", "x*", "", 1, -1, std::nullopt},
        {"start below 1", "a", "abc", 0, -1, std::nullopt},
        {"start past the end", "c", "abc", 4, -1, std::nullopt},
        {"start at the last byte", "c", "abc", 3, -1, Span{2, 1}},
        {"range past the end", "a", "abc", 2, 3, std::nullopt},
        {"range to the last byte", "c", "abc", 2, 2, Span{2, 1}},
        {"a match cut by the range end", "bc", "abc", 1, 2, std::nullopt},
        {"offsets count from the whole text", "a", "aXa", 2, -1, Span{2, 1}},
        {"start is the beginning of the text", "^b", "ab", 2, -1, Span{1, 1}},
        {"the range end is the end of the text", "b$", "abc", 1, 2, Span{1, 1}},
        {"dot matches a line feed", "a.b", "a\nb", 1, -1, Span{0, 3}},
        {"dot matches a carriage return", "a.b", "a\rb", 1, -1, Span{0, 3}},
        {"dot matches a form feed", "a.b", "a\fb", 1, -1, Span{0, 3}},
        {"no case folding", "Update", "update", 1, -1, std::nullopt},
        {"leftmost match wins over a shorter one", "ab|b", "xab", 1, -1, Span{1, 2}},
        {"lazy group takes as little as it can", "<.*?>", "<x><y>", 1, -1, Span{0, 3}},
        {"lazy group may take nothing", "a.*?b", "abab", 1, -1, Span{0, 2}},
        {"GBK bytes compare as bytes", "\xb0\xfc", "\xc9\xfd\xb0\xfc", 1, -1, Span{2, 2}},
    };
    for (const FirstCase& c : cases) {
        SCOPED_TRACE(c.what);
        const regex r = compiled(c.pattern);
        EXPECT_EQ(whole(searchFirst(r, c.text, c.start, c.length)), c.expected);
    }
}

TEST(SearchFirst, GroupsAndSubmatchText) {
    const std::string text = "key=value;";
    const regex r = compiled("(\\w+)=(x)?(.*?);");
    const SearchResult result = searchFirst(r, text, 1);
    ASSERT_EQ(result.entries.size(), 4u);
    EXPECT_EQ(submatchText(result, text, 0), "key=value;");
    EXPECT_EQ(submatchText(result, text, 1), "key");
    EXPECT_FALSE(result.entries[2].matched);
    EXPECT_EQ(submatchText(result, text, 2), "");  // took no part
    EXPECT_EQ(submatchText(result, text, 3), "value");
    EXPECT_EQ(submatchText(result, text, 9), "");  // no such group
    EXPECT_EQ(submatchText(SearchResult{}, text, 1), "");

    const regex empty = compiled("a()b");
    EXPECT_EQ(submatchText(searchFirst(empty, "ab", 1), "ab", 1), "");  // length 0
}

TEST(CompilePattern, BadPatternKeepsWhatTheRegexHeld) {
    regex r;
    EXPECT_FALSE(r.hasPattern());
    EXPECT_TRUE(whole(searchFirst(r, "abc", 1)) == std::nullopt);
    EXPECT_TRUE(searchAll(r, "abc").empty());

    EXPECT_FALSE(compilePattern(r, "("));
    EXPECT_FALSE(r.hasPattern());

    ASSERT_TRUE(compilePattern(r, "b"));
    EXPECT_FALSE(compilePattern(r, "a[", true));
    EXPECT_EQ(whole(searchFirst(r, "abc", 1)), (Span{1, 1}));

    ASSERT_TRUE(compilePattern(r, "UPDATE", false));
    EXPECT_EQ(whole(searchFirst(r, "x/update", 1)), (Span{2, 6}));
}

struct AllCase {
    const char* what;
    std::string pattern;
    std::string text;
    std::vector<Span> expected;
};

TEST(SearchAll, RestartRule) {
    const std::vector<AllCase> cases = {
        {"matches in page order", "a.", "a1xa2a3", {{0, 2}, {3, 2}, {5, 2}}},
        {"matches never overlap", "aa", "aaaaa", {{0, 2}, {2, 2}}},
        {"each restart is the beginning of a text", "^a", "aaa", {{0, 1}, {1, 1}, {2, 1}}},
        {"an empty match at the first byte ends the list", "x*", "abc", {{0, 0}}},
        {"an empty match further on is passed over", "b*", "abb", {{0, 0}}},
        {"empty text", "a", "", {}},
        {"no match", "z", "abc", {}},
    };
    for (const AllCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wholes(searchAll(compiled(c.pattern), c.text)), c.expected);
    }
    // Found at the start of the restart range, not at the first byte: one step on.
    EXPECT_EQ(wholes(searchAll(compiled("a|b*"), "ab")), (std::vector<Span>{{0, 1}, {1, 1}}));
}

// A pattern with nested repeats makes the engine give up on a run of x's.
TEST(PatternService, EngineErrorCountsAsNoMatch) {
    const std::string runaway(40, 'x');
    {
        const regex r = compiled("(x+x+)+y");
        boost::regex raw("(x+x+)+y");
        EXPECT_THROW(boost::regex_search(runaway, raw), std::runtime_error)
            << "the fixture no longer drives the engine into its work limit";
        EXPECT_TRUE(whole(searchFirst(r, runaway, 1)) == std::nullopt);
    }
    const regex r = compiled("q|(x+x+)+y");
    EXPECT_EQ(wholes(searchAll(r, "qq" + runaway + "q")), (std::vector<Span>{{0, 1}, {1, 1}}));
}

struct ShapeCase {
    std::string pattern;
    std::optional<std::string> tail;
};

TEST(LazyGroupCut, OnlyTheShapeItCanProveIsCut) {
    const std::vector<ShapeCase> cases = {
        {"a(.*?)b", "b"},
        {"http://h.x/d/(.*?)/Update.exe.", "/Update.exe."},
        {"\\[(.*?)\\]\\.", "]."},
        {"(.*?)</td>", "</td>"},
        {"a(.*?)", std::nullopt},     // nothing required after the group
        {"a(.*?)b$", std::nullopt},   // an assertion on the end
        {"a(.*?)\\d", std::nullopt},  // a class, not a byte
        {"a(.*?)\\>", std::nullopt},  // a word boundary
        {"a(.*?)b+", std::nullopt},   // a repeat in the tail
        {"(a)(.*?)b", std::nullopt},  // another group
        {"a(.*?)b|c", std::nullopt},  // an alternative
        {"a(.*)b", std::nullopt},     // greedy
        {"a\\(.*?)b", std::nullopt},  // no group at all
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        const std::optional<LazyGroupTail> tail = lazyGroupTail(c.pattern);
        ASSERT_EQ(tail.has_value(), c.tail.has_value());
        if (tail) {
            EXPECT_EQ(tail->bytes, *c.tail);
        }
    }
    EXPECT_EQ(lastTailEnd(*lazyGroupTail("a(.*?)x.z"), "xAz..xBz.."), 8u);
    EXPECT_EQ(lastTailEnd(*lazyGroupTail("a(.*?)x.z"), "xz"), std::string::npos);
}

// The engine's own answer, searched over the whole text with no cut.
std::vector<Span> engineAll(const std::string& pattern, const std::string& text) {
    const boost::regex raw(pattern, boost::regex::perl);
    std::vector<Span> spans;
    std::size_t from = 0;
    boost::cmatch m;
    while (from < text.size() &&
           boost::regex_search(text.data() + from, text.data() + text.size(), m, raw)) {
        const std::size_t offset = from + (m[0].first - (text.data() + from));
        spans.push_back({offset, static_cast<std::size_t>(m.length(0))});
        from = offset + m.length(0);
    }
    return spans;
}

// Pages stitched from pieces of real links and cells, near misses included:
// the cut search must find exactly what the engine finds in the whole page.
TEST(LazyGroupCut, SameAnswersAsTheEngineOnPages) {
    const std::string host = "down.example.net";
    const std::string cellHead(
        texts::versionCellPattern.substr(0, texts::versionCellPattern.find('(')));
    const std::vector<std::string> pieces = {"http://" + host + "/netver/10netver/",
                                             "http://downXexampleYnet/netver/10netver/",
                                             "/Update.exe\"",
                                             "/Update_exe>",
                                             "/update.exe ",
                                             "/Update.ex",
                                             "/Updat",
                                             "2010/",
                                             cellHead,
                                             cellHead.substr(0, 30),
                                             "</td>",
                                             "</td",
                                             "\r\n",
                                             "<tr>",
                                             "a",
                                             "~",
                                             "%s"};
    const std::vector<std::string> patterns = {
        packageLinkPattern(host), std::string(texts::versionCellPattern), "x(.*?)</td>"};
    std::mt19937 random(20100);
    for (int round = 0; round < 400; ++round) {
        std::string page;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) page += pieces[random() % pieces.size()];
        for (const std::string& pattern : patterns) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " pattern " << pattern);
            const regex r = compiled(pattern);
            const std::vector<Span> expected = engineAll(pattern, page);
            EXPECT_EQ(wholes(searchAll(r, page)), expected);
            const std::optional<Span> first =
                expected.empty() ? std::nullopt : std::optional<Span>(expected.front());
            EXPECT_EQ(whole(searchFirst(r, page, 1)), first);
        }
    }
}

}  // namespace
