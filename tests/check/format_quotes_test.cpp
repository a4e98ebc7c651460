#include "check/format_quotes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gbk_literal.h"

namespace {

struct Case {
    std::string input;
    std::string expected;
};

TEST(FormatQuotes, EveryStep) {
    const std::string open = gbk("“");
    const std::string close = gbk("”");
    const std::string empty = gbk("(空)");
    const std::vector<Case> cases = {
        {"", ""},
        {"2010-05_a.b", "2010-05_a.b"},
        {"x`y", "x\"y"},
        {"``", "\"\""},
        {"a~b~c", "a" + open + "b" + close + "c"},
        {"a~b", "a" + open + "b"},
        {"~~~", open + close + open},
        {"ab%ncd", "ab\r\ncd"},
        {"%N", "\r\n\r\n"},
        {"%n%n", "\r\n\r\n"},
        {"%s-%s", empty + "-%s"},
        {"%d", empty},
        {"%f", empty},
        {"%t", "\"" + empty + "\""},
        {"%T", open + empty + close},
        {"%t%T%s", "\"" + empty + "\"%T%s"},
        {"%n%d%n", "\r\n" + empty + "\r\n"},
        {"50%", "50%"},
        {"10%x", "10%x"},
        {"%%s", "%" + empty},
        {"%", "%"},
        {"%~", "%" + open},
        {"`%t`", "\"\"" + empty + "\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatQuotes(c.input), c.expected) << "input: " << c.input;
    }
}

}  // namespace
