#include "core/players/ChatQuery.h"

#include <gtest/gtest.h>

namespace {

TEST(ChatMatchQuery, EveryWordIsQuotedAndATrailingStarMakesAPrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {" \t\n ", ""},
        {"rocket", "\"rocket\""},
        {"  rocket   launcher ", "\"rocket\" \"launcher\""},
        {"launch*", "\"launch\"*"},
        {"*", "\"*\""},
        {"a**", "\"a*\"*"},
        {"say \"hi\"", "\"say\" \"\"\"hi\"\"\""},
        {"rocket OR NOT AND", "\"rocket\" \"OR\" \"NOT\" \"AND\""},
        {"NEAR(a b)", "\"NEAR(a\" \"b)\""},
        {"col:x ^y -z", "\"col:x\" \"^y\" \"-z\""},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
    };
    for (const auto& [typed, query] : cases) {
        EXPECT_EQ(ChatMatchQuery(typed), query) << typed;
    }
}

} // namespace
