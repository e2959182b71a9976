// The wire codec: exact bytes of every message, the player block walk, and decoders on payloads
// that are too short.

#include "engine/Protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace wire;

namespace {

ByteView View(const Bytes& bytes, std::size_t from = 0) {
    return ByteView{bytes.data() + from, bytes.size() - from};
}

// A welcome: type byte, 15 bytes the client skips, then the block.
Bytes Welcome(const Bytes& block) {
    Bytes out(WELCOME_BLOCK_OFFSET + block.size(), 0);
    out[0] = MSG_WELCOME;
    std::copy(block.begin(), block.end(), out.begin() + WELCOME_BLOCK_OFFSET);
    return out;
}

using Players = std::vector<PlayerEntry>;

} // namespace

// The messages whose bytes are more than a type and an id: texts, terminators, 16-bit numbers.
TEST(Protocol, EncodersWriteTheirExactBytes) {
    const struct {
        const char* name;
        Bytes got, want;
    } rows[] = {
        {"login", EncodeLogin("admin", ""), {0x0D, 8, 0x61, 0x64, 0x6D, 0x69, 0x6E, 0x7C, 0}},
        {"login bar in password", EncodeLogin("u", "a|b"), {13, 8, 'u', '|', 'a', '|', 'b', 0}},
        {"chat example", EncodeChat("abc"), {0x03, 0x03, 0x61, 0x62, 0x63, 0x00}},
        {"chat empty", EncodeChat(""), {3, 3, 0}},
        {"quit", EncodeQuit(), {2, 0}},
        {"Ann", EncodeWelcome({{5, 300, "Ann"}}), Welcome({5, 0x2C, 0x01, 0x41, 0x6E, 0x6E, 7})},
        {"welcome empty", EncodeWelcome({}), Welcome({})},
        {"server chat", EncodeServerChat(4, 2, "hi"), {3, 4, 2, 'h', 'i', 0}},
        {"value", EncodePlayerValue(3, -2), {12, 3, 0xFE, 0xFF}},
        {"kill status", EncodeKillServerStatus(-1), {18, 0xFF}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.got, row.want) << row.name;
    }
}

TEST(Protocol, ServerReadsWhatTheClientSends) {
    const auto login = DecodeLogin(View(EncodeLogin("u", "a|b"), 1));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->user, "u");
    EXPECT_EQ(login->password, "a|b"); // only the first "|" separates
    EXPECT_EQ(DecodePlayerCommand(View(EncodeBan(43), 1)), 43);
    EXPECT_EQ(DecodeClientChat(View(EncodeChat("abc"), 1)), std::string("abc"));
}

TEST(Protocol, ServerDropsALoginWithoutItsBarOrNul) {
    const struct {
        const char* name;
        Bytes payload;
        bool valid;
    } rows[] = {
        {"constant only", {8}, false},
        {"no bar, no NUL", {8, 'x', 'x'}, false},
        {"no bar", {8, 'a', 'd', 0}, false},
        {"no NUL", {8, 'a', '|', 'p', 'w'}, false},
        {"NUL before the bar only", {8, 'a', 0, '|', 'p'}, false},
        {"empty user and password", {8, '|', 0}, true},
        {"bytes after the NUL", {8, 'a', '|', 'p', 0, 'z'}, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeLogin(View(row.payload)).has_value(), row.valid) << row.name;
    }
}

TEST(Protocol, EveryDecoderRejectsAPayloadShorterThanItsLayout) {
    const struct {
        const char* name;
        Bytes shortest; // the shortest payload that decodes
        std::function<bool(ByteView)> decodes;
    } rows[] = {
        {"chat", {1, 2}, [](ByteView v) { return DecodeChat(v).has_value(); }},
        {"refused", {1}, [](ByteView v) { return DecodeRefused(v).has_value(); }},
        {"join", {1}, [](ByteView v) { return DecodePlayerJoin(v).has_value(); }},
        {"leave", {1, 2}, [](ByteView v) { return DecodePlayerLeave(v).has_value(); }},
        {"death", {1, 2}, [](ByteView v) { return DecodeDeath(v).has_value(); }},
        {"value", {1, 2, 3}, [](ByteView v) { return DecodePlayerValue(v).has_value(); }},
        {"remove ip", {1}, [](ByteView v) { return DecodeRemoveIpResult(v).has_value(); }},
        {"kill status", {1}, [](ByteView v) { return DecodeKillServerStatus(v).has_value(); }},
        {"kick/ban", {1}, [](ByteView v) { return DecodePlayerCommand(v).has_value(); }},
        {"client chat", {3, 0}, [](ByteView v) { return DecodeClientChat(v).has_value(); }},
        {"login", {8, '|', 0}, [](ByteView v) { return DecodeLogin(v).has_value(); }},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(row.decodes(ByteView{})) << row.name;
        for (std::size_t n = 0; n < row.shortest.size(); ++n) {
            EXPECT_FALSE(row.decodes(ByteView{row.shortest.data(), n})) << row.name << n;
        }
        EXPECT_TRUE(row.decodes(View(row.shortest))) << row.name;
    }
    // Texts run to the view's end, not beyond; a list text keeps every byte.
    const Bytes chat = Bytes{4, 2, 'h', 'i', 'X'};
    EXPECT_EQ(DecodeChat(ByteView{chat.data(), 4})->text, "hi");
    EXPECT_EQ(DecodeListText(View(Bytes{'a', 0, '|'})), std::string("a\0|", 3));
}

TEST(Protocol, PlayerBlock) {
    const struct {
        const char* name;
        Bytes block;
        Players want;
    } rows[] = {
        {"Ann", {0x05, 0x2C, 0x01, 0x41, 0x6E, 0x6E, 0x07}, {{5, 300, "Ann"}}},
        {"empty", {}, {}},
        {"ids < 0", {0x80, 1, 0, 'X', 7, 0xFF, 1, 0, 'Y', 7, 3, 0, 0, 'Z', 7}, {{3, 0, "Z"}}},
        {"empty name skipped", {7, 0, 0, 7, 5, 0x2C, 1, 'A', 'n', 'n', 7}, {{5, 300, "Ann"}}},
        {"name starting with NUL", {1, 5, 0, 0, 'x', 7, 2, 6, 0, 'B', 7}, {{2, 6, "B"}}},
        {"no 0x07", {1, 0, 0, 'A', 7, 2, 0, 0, 'B', 'o', 'b'}, {{1, 0, "A"}, {2, 0, "Bob"}}},
        {"NUL", {1, 0, 0, 'A', 'b', 0, 'c', 7, 2, 0, 0, 'B', 7}, {{1, 0, "Ab"}, {2, 0, "B"}}},
        {"values<0", {4, 0xFE, 0xFF, 'N', 7, 5, 0, 0x80, 'M'}, {{4, -2, "N"}, {5, -32768, "M"}}},
        {"cut before value", {1, 0, 0, 'A', 7, 9, 1}, {{1, 0, "A"}}},
        {"cut before name", {1, 0, 0, 'A', 7, 9, 1, 0}, {{1, 0, "A"}}},
        {"cut after 1-char name", {1, 0, 0, 'A', 7, 9, 1, 0, 'Q'}, {{1, 0, "A"}, {9, 1, "Q"}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodePlayerBlock(View(row.block)), row.want) << row.name;
    }
    // Names are kept whole here; the roster cuts them.
    const Players long16{{127, -1, "ABCDEFGHIJKLMNOP"}};
    EXPECT_EQ(DecodePlayerBlock(View(EncodeWelcome(long16), WELCOME_BLOCK_OFFSET)), long16);

    // A view that is a prefix of a larger buffer: the walk never reads the bytes after it.
    const Bytes buffer = Bytes{1, 0, 0, 'A', 'B', 7, 2, 0, 0, 'C', 7};
    const std::size_t players[] = {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 2, 2};
    for (std::size_t n = 0; n <= buffer.size(); ++n) {
        const Players got = DecodePlayerBlock(ByteView{buffer.data(), n});
        EXPECT_EQ(got.size(), players[n]) << n;
        if (n == 4) {
            EXPECT_EQ(got, (Players{{1, 0, "A"}}));
        }
    }
}

TEST(Protocol, ListTextEntriesEndAtEveryBar) {
    using Texts = std::vector<std::string>;
    EXPECT_EQ(SplitListText("x|y|z"), (Texts{"x", "y"}));
    EXPECT_EQ(SplitListText("a||b|"), (Texts{"a", "", "b"}));
    EXPECT_EQ(SplitListText("|"), (Texts{""}));
    EXPECT_TRUE(SplitListText("no bar").empty());
}
