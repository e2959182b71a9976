// Keys split from the bytes a terminal sends, as they arrive in reads at various times.

#include <gtest/gtest.h>
#include <locale.h>

#include "cli/KeySplitter.h"

namespace {

using namespace std::chrono_literals;

struct Arrival {
    std::string bytes;
    int atMs;
};

// The keys handed on when `arrivals` come in, the loop asking for keys at every arrival (before
// and after it) and once more well after the last.
std::vector<std::string> KeysOf(const std::vector<Arrival>& arrivals) {
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    const locale_t before = uselocale(utf8);
    CKeySplitter splitter({"\x1b[A", "\x1bOA", "\033b"});
    const CKeySplitter::Clock::time_point start{};
    std::vector<std::string> keys;
    const auto take = [&](int atMs) {
        while (auto key = splitter.Next(start + std::chrono::milliseconds(atMs))) {
            keys.push_back(*key);
        }
    };
    for (const Arrival& a : arrivals) {
        take(a.atMs);
        splitter.Add(a.bytes, start + std::chrono::milliseconds(a.atMs));
        take(a.atMs);
    }
    take(arrivals.back().atMs + 1000);
    uselocale(before);
    freelocale(utf8);
    return keys;
}

TEST(KeySplitterTest, WholeKeysOnlyAndIncompleteOnesResolvedAfterTheTimeOut) {
    const struct {
        const char* what;
        std::vector<Arrival> arrivals;
        std::vector<std::string> keys;
    } cases[] = {
        {"characters, one of two bytes", {{"a\xC3\xA9\r", 0}}, {"a", "\xC3\xA9", "\r"}},
        {"a character split across reads", {{"\xC3", 0}, {"\xA9", 50}}, {"\xC3\xA9"}},
        {"a lone lead byte stands for itself", {{"\xC3", 0}, {"x", 150}}, {"\xC3", "x"}},
        {"a byte that is no character", {{"\xFF", 0}}, {"\xFF"}},
        {"a lone Escape does nothing", {{"\x1b", 0}}, {}},
        {"Escape, and a letter after the time-out", {{"\x1b", 0}, {"x", 150}}, {"x"}},
        {"Escape with an unbound letter", {{"\x1bxy", 0}}, {"y"}},
        {"Escape with a bound letter", {{"\033b", 0}}, {"\033b"}},
        {"an arrow in one read", {{"\x1b[A", 0}}, {"\x1b[A"}},
        {"an arrow in three reads", {{"\x1b", 0}, {"[", 30}, {"A", 60}}, {"\x1b[A"}},
        {"an arrow in application mode", {{"\x1bOA", 0}}, {"\x1bOA"}},
        {"an unknown sequence, then text", {{"\x1b[1;2Pz", 0}}, {"z"}},
        {"a sequence cut off", {{"\x1b[1;", 0}, {"ab", 150}}, {"a", "b"}},
        {"Escape, then an arrow", {{"\x1b\x1b[A", 0}}, {"\x1b[A"}},
        {"a sequence broken by a control", {{"\x1b[1\rq", 0}}, {"\r", "q"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeysOf(c.arrivals), c.keys) << c.what;
    }
}

TEST(KeySplitterTest, AnIncompleteKeyWaitsTheTimeOutFromItsLastByte) {
    CKeySplitter splitter({});
    const CKeySplitter::Clock::time_point start{};
    EXPECT_EQ(splitter.MsUntilResolved(start), -1);
    splitter.Add("\x1b[", start);
    EXPECT_FALSE(splitter.Next(start + 40ms));
    EXPECT_EQ(splitter.MsUntilResolved(start + 40ms), 60);
    splitter.Add("1", start + 80ms);
    EXPECT_EQ(splitter.MsUntilResolved(start + 100ms), 80);
    EXPECT_FALSE(splitter.Next(start + 180ms));
    EXPECT_EQ(splitter.MsUntilResolved(start + 180ms), -1);
}

} // namespace
