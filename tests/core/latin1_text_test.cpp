#include "core/Latin1Text.h"

#include <gtest/gtest.h>

namespace {

struct LineCase {
    const char* utf8;
    std::size_t max;
    const char* latin1;  // expected wire bytes when accepted
    const char* problem; // a part of the expected refusal, or null when accepted
};

TEST(Latin1TextTest, ConsoleLinesAreAcceptedOrRefusedWithTheReason) {
    const LineCase cases[] = {
        {"say hi", 128, "say hi", nullptr},
        {"caf\xc3\xa9", 128, "caf\xe9", nullptr},
        {"\xc3\xbf", 128, "\xff", nullptr},
        {"\xd0\x96\xd1\x83\xd0\xba", 128, nullptr, "U+0416, U+0443, U+043A"},
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
        const ConsoleLine line = ConsoleLineFromUtf8(c.utf8, c.max);
        if (c.problem == nullptr) {
            EXPECT_EQ(line.problem, "") << c.utf8;
            EXPECT_EQ(line.latin1, c.latin1) << c.utf8;
        } else {
            EXPECT_NE(line.problem.find(c.problem), std::string::npos)
                << c.utf8 << " -> " << line.problem;
            EXPECT_EQ(line.latin1, "") << c.utf8;
        }
    }
}

TEST(Latin1TextTest, EveryByteComesBackAsItsCharacter) {
    std::string all;
    for (int b = 0x20; b < 0x100; ++b) {
        if (b < 0x7f || b > 0x9f) {
            all += static_cast<char>(b);
        }
    }
    const ConsoleLine back = ConsoleLineFromUtf8(Latin1ToUtf8(all), all.size());
    EXPECT_EQ(back.problem, "");
    EXPECT_EQ(back.latin1, all);
}

} // namespace
