#include "engine/PrintableText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(PrintableTextTest, EscapesEveryControlCharacterAndKeepsTheRest) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain text", "plain text"},
        {"a\nb", "a\\nb"},
        {"\r\t", "\\r\\t"},
        {std::string("\0\x1b[2J", 5), "\\x00\\x1b[2J"},
        {"\x7f\x9b", "\\x7f\\x9b"},
        {"caf\xe9 \xa0", "caf\xe9 \xa0"}, // Latin-1 letters and the no-break space stay
    };
    for (const auto& [raw, shown] : cases) {
        EXPECT_EQ(Printable(raw), shown) << raw;
    }
}
