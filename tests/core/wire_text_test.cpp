// The one rule for text that goes to the server, from every source.
#include "core/WireText.h"

#include <gtest/gtest.h>

namespace {

struct LineCase {
    const char* utf8;
    std::size_t max;
    const char* latin1;  // expected wire bytes when accepted
    const char* problem; // a part of the expected refusal, or null when accepted
};

TEST(WireTextTest, TextIsAcceptedOrRefusedWithTheReason) {
    const LineCase cases[] = {
        {"say hi", 128, "say hi", nullptr},
        {"caf\xc3\xa9", 128, "caf\xe9", nullptr},
        {"\xc3\xbf", 128, "\xff", nullptr},
        // Each refused character is named once, in the order of its first use.
        {"\xd0\x96\xd1\x83\xd0\x96\xd0\xba", 128, nullptr, ": U+0416, U+0443, U+043A"},
        {"tab\there", 128, nullptr, "U+0009"},
        {"c1 \xc2\x85", 128, nullptr, "U+0085"},
        {"del\x7f", 128, nullptr, "U+007F"},
        {"bad \xff byte", 128, nullptr, "not valid UTF-8"},
        {"lone \xc3", 128, nullptr, "not valid UTF-8"},
        {"overlong \xc0\xaf", 128, nullptr, "not valid UTF-8"},
        {"surrogate \xed\xa0\x80", 128, nullptr, "not valid UTF-8"},
        {"abcd", 4, "abcd", nullptr},
        {"abcde", 4, nullptr, "longer than 4 characters"},
        {"\xc3\xa9\xc3\xa9", 2, "\xe9\xe9", nullptr},
    };
    for (const LineCase& c : cases) {
        const WireText text = TextForWire(c.utf8, c.max);
        if (c.problem == nullptr) {
            EXPECT_TRUE(text.Ok()) << c.utf8 << " -> " << text.Describe();
            EXPECT_EQ(text.latin1, c.latin1) << c.utf8;
        } else {
            EXPECT_NE(text.Describe().find(c.problem), std::string::npos)
                << c.utf8 << " -> " << text.Describe();
            EXPECT_EQ(text.latin1, "") << c.utf8;
        }
    }
}

TEST(WireTextTest, EveryByteComesBackAsItsCharacter) {
    std::string all;
    for (int b = 0x20; b < 0x100; ++b) {
        if (b < 0x7f || b > 0x9f) {
            all += static_cast<char>(b);
        }
    }
    const WireText back = TextForWire(Latin1ToUtf8(all), all.size());
    EXPECT_TRUE(back.Ok());
    EXPECT_EQ(back.latin1, all);
}

// Typed, piped or given as an option: leading blanks go, trailing ones stay, a blank line is
// nothing to send, and the 128-character limit counts what is left.
TEST(WireTextTest, ConsoleLinesLoseLeadingBlanksOnly) {
    EXPECT_FALSE(ConsoleLineForWire(""));
    EXPECT_FALSE(ConsoleLineForWire(" \t\r\n\v\f "));
    EXPECT_EQ(ConsoleLineForWire("   say hi  ")->latin1, "say hi  ");
    EXPECT_TRUE(ConsoleLineForWire("   " + std::string(128, 'x'))->Ok());
    EXPECT_EQ(ConsoleLineForWire(std::string(129, 'x'))->problem, WireText::Problem::TooLong);
}

} // namespace
