#include "services/text_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Example {
    const char* call;
    std::function<std::string()> result;
    std::string expected;
};

std::string rounded(double x, int digits) { return numberToText(roundTo(x, digits)); }

// The worked examples, each as the text the window would show.
TEST(TextNumber, WorkedExamples) {
    const double zero = 0;
    const std::vector<Example> examples = {
        {"roundTo(0.125, 2)", [] { return rounded(0.125, 2); }, "0.13"},
        {"roundTo(2.675, 2)", [] { return rounded(2.675, 2); }, "2.68"},
        {"roundTo(1.005, 2)", [] { return rounded(1.005, 2); }, "1.01"},
        {"roundTo(0.9765625, 2)", [] { return rounded(0.9765625, 2); }, "0.98"},
        {"roundTo(99.995, 2)", [] { return rounded(99.995, 2); }, "100"},
        {"roundTo(2.5, 0)", [] { return rounded(2.5, 0); }, "3"},
        {"roundTo(-2.5, 0)", [] { return rounded(-2.5, 0); }, "-3"},
        {"roundTo(2.5) default digits", [] { return numberToText(roundTo(2.5)); }, "3"},
        {"roundTo(1.45, 1)", [] { return rounded(1.45, 1); }, "1.5"},
        {"roundTo(150, -2)", [] { return rounded(150, -2); }, "200"},
        {"roundTo(149.99, -2)", [] { return rounded(149.99, -2); }, "100"},
        {"numberToText(12.5)", [] { return numberToText(12.5); }, "12.5"},
        {"numberToText(1234.57)", [] { return numberToText(1234.57); }, "1234.57"},
        {"numberToText(0.0)", [] { return numberToText(0.0); }, "0"},
        {"numberToText(100.0)", [] { return numberToText(100.0); }, "100"},
        {"numberToText(1e7)", [] { return numberToText(10000000.0); }, "10000000"},
        {"numberToText(1/3)", [] { return numberToText(1.0 / 3.0); }, "0.3333333333333"},
        {"numberToText(0.1+0.2)", [] { return numberToText(0.1 + 0.2); }, "0.3"},
        {"numberToText(-0.5)", [] { return numberToText(-0.5); }, "-0.5"},
        {"numberToText(1e13)", [] { return numberToText(1e13); }, "1e+013"},
        {"numberToText(12345678901234)", [] { return numberToText(12345678901234.0); },
         "1.234567890123e+013"},
        {"numberToText(0.00001)", [] { return numberToText(0.00001); }, "1e-005"},
        {"numberToText(0.0001)", [] { return numberToText(0.0001); }, "0.0001"},
        {"numberToText(int 0)", [] { return numberToText(std::int32_t{0}); }, "0"},
        {"numberToText(int 57)", [] { return numberToText(std::int32_t{57}); }, "57"},
        {"numberToText(int -15)", [] { return numberToText(std::int32_t{-15}); }, "-15"},
        {"truncateToInteger(57/100*100)",
         [] {
             const double done = 57, size = 100;
             return numberToText(truncateToInteger(done / size * 100));
         },
         "56"},
        {"truncateToInteger(-3.7)", [] { return numberToText(truncateToInteger(-3.7)); }, "-3"},
        {"truncateToInteger(99.9)", [] { return numberToText(truncateToInteger(99.9)); }, "99"},
        {"truncateToInteger(0/0)", [zero] { return numberToText(truncateToInteger(zero / zero)); },
         "0"},
        {"truncateToInteger(5/0)", [zero] { return numberToText(truncateToInteger(5 / zero)); },
         "0"},
        // How the progress display chains them for a package of 1000 and 5120 bytes.
        {"size 1000 bytes in KB", [] { return rounded(1000.0 / 1024, 2); }, "0.98"},
        {"size 5120 bytes in KB", [] { return rounded(5120.0 / 1024, 2); }, "5"},
    };
    for (const auto& example : examples) {
        EXPECT_EQ(example.result(), example.expected) << example.call;
    }
}

TEST(TextNumber, CompareTextsIsBytewiseUnsigned) {
    struct Case {
        std::string_view a, b;
        int expected;
    };
    const Case cases[] = {
        {{}, {}, 0},
        {{}, "", 0},
        {"", "", 0},
        {"", "a", -1},
        {"a", {}, 1},
        {"ab", "abc", -1},
        {"abc", "ab", 1},
        {"Z", "a", -1},
        {"9", "10", 1},
        {"22.9", "22.10", 1},  // versions compare as texts, not numbers
        {"YES", "YES", 0},
        {"yes", "YES", 1},
        {"\xD5\xE6", "zzz", 1},  // a Chinese character sorts after every ASCII byte
        {"\xD5\xE6", "\xD5\xE6", 0},
        {"\xB0\xA1", "\xD5\xE6", -1},
        {std::string_view("ab\0z", 4), "ab", 0},  // a text ends at its zero byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareTexts(c.a, c.b), c.expected) << "'" << c.a << "' vs '" << c.b << "'";
    }
}

TEST(TextNumber, ConcatTextsJoinsWithoutSeparator) {
    EXPECT_EQ(concatTexts({"", {}, ""}), "");
    EXPECT_EQ(concatTexts({"/work/app", "\\config.ini"}), "/work/app\\config.ini");
    EXPECT_EQ(concatTexts({"a", "", "b", "c"}), "abc");
}

TEST(TextNumber, RoundingKeepsTwoDecimalValuesAndTheirShortText) {
    for (const double x : {0.0, 12.5, 0.01, 99.99, 1234.57, 5.0, -7.25, 3.1}) {
        EXPECT_EQ(roundTo(x, 2), x) << x;
    }
    EXPECT_EQ(numberToText(roundTo(12.5, 2)), "12.5");
    EXPECT_EQ(numberToText(roundTo(0.0, 2)), "0");
    EXPECT_TRUE(std::isnan(roundTo(std::nan(""), 2)));
}

TEST(TextNumber, NumberToTextSwitchesToExponentAfterThirteenDigits) {
    EXPECT_EQ(numberToText(1234567890123.0), "1234567890123");
    EXPECT_EQ(numberToText(99999999999999.0), "1e+014");
    EXPECT_EQ(numberToText(12345678901234.0 * 1e90), "1.234567890123e+103");
    EXPECT_EQ(numberToText(-2.5e-7), "-2.5e-007");
    EXPECT_EQ(numberToText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

TEST(TextNumber, TruncateKeepsLowThirtyTwoBits) {
    EXPECT_EQ(truncateToInteger(4294967296.0 + 5), 5);
    EXPECT_EQ(truncateToInteger(2147483648.0), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(truncateToInteger(-1.0), -1);
    EXPECT_EQ(truncateToInteger(9223372036854775808.0), 0);
    EXPECT_EQ(truncateToInteger(-9223372036854775808.0), 0);
}

TEST(TextNumber, ElementCountOfAbsentArrayIsZero) {
    const std::vector<std::string>* absent = nullptr;
    const std::vector<std::string> three(3);
    EXPECT_EQ(elementCount(absent), 0u);
    EXPECT_EQ(elementCount(&three), 3u);
}

}  // namespace
