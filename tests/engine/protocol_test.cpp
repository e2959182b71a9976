// The wire protocol codec: the protocol's own examples, the player block walk, and every decoder
// on payloads that are too short.

#include "engine/Protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace wire;

namespace {

ByteView View(const Bytes& bytes) { return ByteView{bytes.data(), bytes.size()}; }

// The payload of a datagram: every byte after the type byte.
ByteView Payload(const Bytes& datagram) {
    return ByteView{datagram.data() + 1, datagram.size() - 1};
}

Bytes Block(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes) {
        out.push_back(static_cast<std::uint8_t>(b));
    }
    return out;
}

std::vector<PlayerEntry> Walk(const Bytes& block) { return DecodePlayerBlock(View(block)); }

} // namespace

// --- client -> server encoders ---

TEST(ProtocolEncode, LoginWithEmptyPasswordIsTheSpecExample) {
    EXPECT_EQ(EncodeLogin("admin", ""),
              Block({0x0D, 0x08, 0x61, 0x64, 0x6D, 0x69, 0x6E, 0x7C, 0x00}));
}

TEST(ProtocolEncode, LoginLengthIsUserPlusPasswordPlusFour) {
    const Bytes login = EncodeLogin("bob", "secret");
    ASSERT_EQ(login.size(), 3u + 6u + 4u);
    EXPECT_EQ(login[0], MSG_LOGIN);
    EXPECT_EQ(login[1], LOGIN_CONSTANT);
    EXPECT_EQ(std::string(login.begin() + 2, login.end()), std::string("bob|secret\0", 11));
}

TEST(ProtocolEncode, LoginPasswordIsSentAsTyped) {
    const Bytes login = EncodeLogin("u", "a|b");
    EXPECT_EQ(std::string(login.begin() + 2, login.end()), std::string("u|a|b\0", 6));
}

TEST(ProtocolEncode, ChatAbcIsTheSpecExample) {
    EXPECT_EQ(EncodeChat("abc"), Block({0x03, 0x03, 0x61, 0x62, 0x63, 0x00}));
    EXPECT_EQ(EncodeChat(""), Block({0x03, 0x03, 0x00}));
}

TEST(ProtocolEncode, FixedShortMessages) {
    EXPECT_EQ(EncodeQuit(), Block({2, 0}));
    EXPECT_EQ(EncodePong(), Block({5}));
    EXPECT_EQ(EncodeKick(7), Block({14, 7}));
    EXPECT_EQ(EncodeBan(0xFF), Block({15, 0xFF}));
    EXPECT_EQ(EncodeKillServer(), Block({18}));
}

// --- server -> client encoders ---

TEST(ProtocolEncode, WelcomeEntryForAnnIsTheSpecExample) {
    const Bytes welcome = EncodeWelcome({PlayerEntry{5, 300, "Ann"}});
    ASSERT_EQ(welcome.size(), WELCOME_BLOCK_OFFSET + 7);
    EXPECT_EQ(welcome[0], MSG_WELCOME);
    const Bytes entry(welcome.begin() + WELCOME_BLOCK_OFFSET, welcome.end());
    EXPECT_EQ(entry, Block({0x05, 0x2C, 0x01, 0x41, 0x6E, 0x6E, 0x07}));
}

TEST(ProtocolEncode, EmptyWelcomeIsSixteenBytes) {
    const Bytes welcome = EncodeWelcome({});
    ASSERT_EQ(welcome.size(), WELCOME_BLOCK_OFFSET);
    EXPECT_EQ(welcome[0], MSG_WELCOME);
}

TEST(ProtocolEncode, ServerMessages) {
    EXPECT_EQ(EncodeServerChat(4, 2, "hi"), Block({3, 4, 2, 'h', 'i', 0}));
    EXPECT_EQ(EncodePing(), Block({4}));
    EXPECT_EQ(EncodeRefused(3), Block({6, 3}));
    EXPECT_EQ(EncodePlayerJoin(9, "Zed"), Block({8, 9, 'Z', 'e', 'd'}));
    EXPECT_EQ(EncodePlayerLeave(1, 9), Block({9, 1, 9}));
    EXPECT_EQ(EncodeDeath(1, 2), Block({11, 1, 2}));
    EXPECT_EQ(EncodePlayerValue(3, -2), Block({12, 3, 0xFE, 0xFF}));
    EXPECT_EQ(EncodeRemoveIpResult(0), Block({16, 0}));
    EXPECT_EQ(EncodeListText("x|"), Block({17, 'x', '|'}));
    EXPECT_EQ(EncodeKillServerStatus(-1), Block({18, 0xFF}));
}

// --- round trips through the decoders ---

TEST(ProtocolRoundTrip, WelcomeBlock) {
    const std::vector<PlayerEntry> players{{5, 300, "Ann"}, {0, -1, "Bo"}, {127, -32768, "Cy"}};
    const Bytes welcome = EncodeWelcome(players);
    const ByteView block{welcome.data() + WELCOME_BLOCK_OFFSET,
                         welcome.size() - WELCOME_BLOCK_OFFSET};
    EXPECT_EQ(DecodePlayerBlock(block), players);
}

TEST(ProtocolRoundTrip, ServerMessages) {
    const auto chat = DecodeChat(Payload(EncodeServerChat(4, 2, "hello")));
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->sender, 4);
    EXPECT_EQ(chat->kind, 2);
    EXPECT_EQ(chat->text, "hello");

    EXPECT_EQ(DecodeRefused(Payload(EncodeRefused(200))), 200);

    const auto join = DecodePlayerJoin(Payload(EncodePlayerJoin(9, "Zed")));
    ASSERT_TRUE(join);
    EXPECT_EQ(join->id, 9);
    EXPECT_EQ(join->name, "Zed");

    const auto leave = DecodePlayerLeave(Payload(EncodePlayerLeave(2, 6)));
    ASSERT_TRUE(leave);
    EXPECT_EQ(leave->reason, 2);
    EXPECT_EQ(leave->id, 6);

    const auto death = DecodeDeath(Payload(EncodeDeath(1, 2)));
    ASSERT_TRUE(death);
    EXPECT_EQ(death->victim, 1);
    EXPECT_EQ(death->killer, 2);

    const auto value = DecodePlayerValue(Payload(EncodePlayerValue(3, -12345)));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->id, 3);
    EXPECT_EQ(value->value, -12345);

    EXPECT_EQ(DecodeRemoveIpResult(Payload(EncodeRemoveIpResult(0))), 0);
    EXPECT_EQ(DecodeListText(Payload(EncodeListText("a|b|"))), "a|b|");
    EXPECT_EQ(DecodeKillServerStatus(Payload(EncodeKillServerStatus(-3))), -3);
}

TEST(ProtocolRoundTrip, ClientMessages) {
    const auto login = DecodeLogin(Payload(EncodeLogin("admin", "pw")));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->user, "admin");
    EXPECT_EQ(login->password, "pw");

    const auto empty = DecodeLogin(Payload(EncodeLogin("admin", "")));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->user, "admin");
    EXPECT_EQ(empty->password, "");

    // Only the first "|" separates: the password is sent as typed.
    const auto bar = DecodeLogin(Payload(EncodeLogin("u", "a|b")));
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->user, "u");
    EXPECT_EQ(bar->password, "a|b");

    EXPECT_EQ(DecodePlayerCommand(Payload(EncodeKick(42))), 42);
    EXPECT_EQ(DecodePlayerCommand(Payload(EncodeBan(43))), 43);
    EXPECT_EQ(DecodeClientChat(Payload(EncodeChat("abc"))), std::string("abc"));
}

// --- helpers ---

TEST(ProtocolText, TextEndsAtNulOrEnd) {
    const Bytes withNul = Block({'a', 'b', 0, 'c'});
    EXPECT_EQ(TextUntilNul(View(withNul)), "ab");
    const Bytes withoutNul = Block({'a', 'b', 'c'});
    EXPECT_EQ(TextUntilNul(View(withoutNul)), "abc");
    EXPECT_EQ(TextUntilNul(ByteView{}), "");
    EXPECT_EQ(TextUntilNul(ByteView{withNul.data(), 0}), "");
}

TEST(ProtocolText, Int16IsLittleEndianSigned) {
    const Bytes a = Block({0x2C, 0x01});
    EXPECT_EQ(ReadInt16(a.data()), 300);
    const Bytes b = Block({0xFF, 0xFF});
    EXPECT_EQ(ReadInt16(b.data()), -1);
    const Bytes c = Block({0x00, 0x80});
    EXPECT_EQ(ReadInt16(c.data()), -32768);
    const Bytes d = Block({0xFF, 0x7F});
    EXPECT_EQ(ReadInt16(d.data()), 32767);
}

// --- the player block ---

TEST(PlayerBlock, AnnEntry) {
    EXPECT_EQ(Walk(Block({0x05, 0x2C, 0x01, 0x41, 0x6E, 0x6E, 0x07})),
              (std::vector<PlayerEntry>{{5, 300, "Ann"}}));
}

TEST(PlayerBlock, EmptyBlockHasNoPlayers) {
    EXPECT_TRUE(Walk(Bytes{}).empty());
    EXPECT_TRUE(DecodePlayerBlock(ByteView{}).empty());
}

TEST(PlayerBlock, NegativeIdIsSkippedAndTheNextEntryRead) {
    EXPECT_EQ(Walk(Block({0x80, 1, 0, 'X', 0x07, 0xFF, 1, 0, 'Y', 0x07, 3, 0, 0, 'Z', 0x07})),
              (std::vector<PlayerEntry>{{3, 0, "Z"}}));
}

TEST(PlayerBlock, EmptyNameEntryIsSkippedValueIncluded) {
    EXPECT_EQ(Walk(Block({0x07, 0x00, 0x00, 0x07, 0x05, 0x2C, 0x01, 'A', 'n', 'n', 0x07})),
              (std::vector<PlayerEntry>{{5, 300, "Ann"}}));
}

TEST(PlayerBlock, NameStartingWithNulIsSkipped) {
    EXPECT_EQ(Walk(Block({1, 5, 0, 0, 'x', 0x07, 2, 6, 0, 'B', 0x07})),
              (std::vector<PlayerEntry>{{2, 6, "B"}}));
}

TEST(PlayerBlock, LastEntryMayLackItsEndByte) {
    EXPECT_EQ(Walk(Block({1, 0, 0, 'A', 0x07, 2, 0, 0, 'B', 'o', 'b'})),
              (std::vector<PlayerEntry>{{1, 0, "A"}, {2, 0, "Bob"}}));
}

TEST(PlayerBlock, NulInsideANameEndsIt) {
    EXPECT_EQ(Walk(Block({1, 0, 0, 'A', 'b', 0, 'c', 'd', 0x07, 2, 0, 0, 'B', 0x07})),
              (std::vector<PlayerEntry>{{1, 0, "Ab"}, {2, 0, "B"}}));
}

TEST(PlayerBlock, NegativeValue) {
    EXPECT_EQ(Walk(Block({4, 0xFE, 0xFF, 'N', 0x07})), (std::vector<PlayerEntry>{{4, -2, "N"}}));
    EXPECT_EQ(Walk(Block({4, 0x00, 0x80, 'N', 0x07})),
              (std::vector<PlayerEntry>{{4, -32768, "N"}}));
}

TEST(PlayerBlock, LongNamesAreKeptWholeByTheDecoder) {
    const std::string sixteen = "ABCDEFGHIJKLMNOP";
    const Bytes welcome = EncodeWelcome({{1, 2, sixteen}});
    const auto players = DecodePlayerBlock(
        ByteView{welcome.data() + WELCOME_BLOCK_OFFSET, welcome.size() - WELCOME_BLOCK_OFFSET});
    EXPECT_EQ(players, (std::vector<PlayerEntry>{{1, 2, sixteen}}));
}

TEST(PlayerBlock, TruncatedEntriesEndTheWalkCleanly) {
    const std::vector<PlayerEntry> first{{1, 0, "A"}};
    // After a whole entry: 1, 2 and 3 trailing bytes (cut before the name) add nobody.
    EXPECT_EQ(Walk(Block({1, 0, 0, 'A', 0x07, 9})), first);
    EXPECT_EQ(Walk(Block({1, 0, 0, 'A', 0x07, 9, 1})), first);
    EXPECT_EQ(Walk(Block({1, 0, 0, 'A', 0x07, 9, 1, 0})), first);
    // Four bytes left: a one-character name without end byte is a player.
    EXPECT_EQ(Walk(Block({1, 0, 0, 'A', 0x07, 9, 1, 0, 'Q'})),
              (std::vector<PlayerEntry>{{1, 0, "A"}, {9, 1, "Q"}}));
    // Blocks shorter than one entry.
    for (std::size_t n = 0; n <= 3; ++n) {
        const Bytes block = Block({5, 0x2C, 0x01, 'A'});
        EXPECT_TRUE(DecodePlayerBlock(ByteView{block.data(), n}).empty()) << n;
    }
}

TEST(PlayerBlock, WalkNeverReadsPastTheView) {
    // The view is a prefix of a larger buffer whose remaining bytes would form a player if read.
    const Bytes buffer = Block({1, 0, 0, 'A', 'B', 0x07, 2, 0, 0, 'C', 0x07});
    for (std::size_t n = 0; n <= buffer.size(); ++n) {
        const auto players = DecodePlayerBlock(ByteView{buffer.data(), n});
        for (const auto& p : players) {
            EXPECT_LE(p.name.size(), n) << n;
        }
        if (n < 4) {
            EXPECT_TRUE(players.empty()) << n;
        } else if (n <= 6) {
            ASSERT_EQ(players.size(), 1u) << n;
            EXPECT_EQ(players[0].name, std::string("AB").substr(0, n - 3)) << n;
        } else if (n < 10) {
            EXPECT_EQ(players.size(), 1u) << n;
        } else {
            EXPECT_EQ(players.size(), 2u) << n;
        }
    }
}

// --- decoders on too-short payloads ---

TEST(ProtocolDecode, EveryDecoderRefusesTooShortPayloads) {
    const Bytes bytes = Block({1, 2, 3, 4});
    const ByteView none{bytes.data(), 0};
    const ByteView one{bytes.data(), 1};
    const ByteView two{bytes.data(), 2};

    EXPECT_FALSE(DecodeChat(none));
    EXPECT_FALSE(DecodeChat(one));
    EXPECT_TRUE(DecodeChat(two));

    EXPECT_FALSE(DecodeRefused(none));
    EXPECT_TRUE(DecodeRefused(one));

    EXPECT_FALSE(DecodePlayerJoin(none));
    EXPECT_TRUE(DecodePlayerJoin(one));

    EXPECT_FALSE(DecodePlayerLeave(none));
    EXPECT_FALSE(DecodePlayerLeave(one));
    EXPECT_TRUE(DecodePlayerLeave(two));

    EXPECT_FALSE(DecodeDeath(none));
    EXPECT_FALSE(DecodeDeath(one));
    EXPECT_TRUE(DecodeDeath(two));

    EXPECT_FALSE(DecodePlayerValue(none));
    EXPECT_FALSE(DecodePlayerValue(two));
    EXPECT_TRUE(DecodePlayerValue(ByteView{bytes.data(), 3}));

    EXPECT_FALSE(DecodeRemoveIpResult(none));
    EXPECT_TRUE(DecodeRemoveIpResult(one));

    EXPECT_FALSE(DecodeKillServerStatus(none));
    EXPECT_TRUE(DecodeKillServerStatus(one));

    EXPECT_EQ(DecodeListText(none), "");
    EXPECT_EQ(DecodeListText(ByteView{}), "");

    EXPECT_FALSE(DecodePlayerCommand(none));
    EXPECT_TRUE(DecodePlayerCommand(one));

    EXPECT_FALSE(DecodeClientChat(none));
    EXPECT_TRUE(DecodeClientChat(one));

    EXPECT_FALSE(DecodeLogin(none));
    EXPECT_FALSE(DecodeLogin(one));

    // A null view is as empty as a zero-length one.
    EXPECT_FALSE(DecodeChat(ByteView{}));
    EXPECT_FALSE(DecodePlayerValue(ByteView{}));
    EXPECT_FALSE(DecodeLogin(ByteView{}));
}

TEST(ProtocolDecode, DecodersReadOnlyTheirView) {
    // A chat whose text has no NUL runs to the payload's end, not beyond.
    const Bytes bytes = Block({4, 2, 'h', 'i', 'X', 'Y'});
    const auto chat = DecodeChat(ByteView{bytes.data(), 4});
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->text, "hi");

    const Bytes join = Block({7, 'J', 'o', 0, 'Z'});
    const auto j = DecodePlayerJoin(ByteView{join.data(), join.size()});
    ASSERT_TRUE(j);
    EXPECT_EQ(j->name, "Jo");
    const auto j2 = DecodePlayerJoin(ByteView{join.data(), 2});
    ASSERT_TRUE(j2);
    EXPECT_EQ(j2->name, "J");
    const auto j3 = DecodePlayerJoin(ByteView{join.data(), 1});
    ASSERT_TRUE(j3);
    EXPECT_EQ(j3->name, "");
}

TEST(ProtocolDecode, InboundChatKindsAndEmptyText) {
    const Bytes noText = Block({1, 3});
    const auto chat = DecodeChat(ByteView{noText.data(), noText.size()});
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->kind, CHAT_KIND_SERVER);
    EXPECT_EQ(chat->text, "");
}

TEST(ProtocolDecode, LoginWithoutSeparatorIsMalformed) {
    const Bytes noBar = Block({8, 'a', 'd', 0});
    EXPECT_FALSE(DecodeLogin(View(noBar)));
    const Bytes shortest = Block({8, '|'});
    const auto login = DecodeLogin(View(shortest));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->user, "");
    EXPECT_EQ(login->password, "");
}

TEST(ProtocolDecode, ListTextKeepsEveryByte) {
    const Bytes payload = Block({'a', 0, '|', 'b'});
    EXPECT_EQ(DecodeListText(View(payload)), std::string("a\0|b", 4));
}

TEST(ProtocolDecode, KillServerStatusIsSigned) {
    const Bytes payload = Block({0xFF});
    EXPECT_EQ(DecodeKillServerStatus(View(payload)), -1);
}

// --- list text ---

TEST(ListText, XBarYBarZGivesXAndY) {
    EXPECT_EQ(SplitListText("x|y|z"), (std::vector<std::string>{"x", "y"}));
}

TEST(ListText, EdgeCases) {
    EXPECT_TRUE(SplitListText("").empty());
    EXPECT_TRUE(SplitListText("no bar").empty());
    EXPECT_EQ(SplitListText("|"), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitListText("a||b|"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitListText("one|two|"), (std::vector<std::string>{"one", "two"}));
}

// --- refusals and shutdown texts ---

TEST(Refusal, KnownCodes) {
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Another player is using this nick.", "Nick already in use."},
        {"Your address is banned from the server.", "Address is banned."},
        {"Another player is already connected from this IP.", "IP Already connected."},
        {"", "Server refused connection."},
        {"Invalid username or password.", "Invalid username or password."},
        {"Disconnected: server shutdown.", "Server shutdown."},
        {"Disconnected: Incompatible version.", "Incompatible version."},
    };
    for (std::size_t code = 0; code < expected.size(); ++code) {
        const Refusal r = RefusalFor(static_cast<std::uint8_t>(code));
        EXPECT_EQ(r.box, expected[code].first) << code;
        EXPECT_EQ(r.reason, expected[code].second) << code;
    }
}

TEST(Refusal, Codes3And200ShowNoBox) {
    for (int code : {3, 7, 200, 255}) {
        const Refusal r = RefusalFor(static_cast<std::uint8_t>(code));
        EXPECT_TRUE(r.box.empty()) << code;
        EXPECT_EQ(r.reason, "Server refused connection.") << code;
    }
}

TEST(KillServer, StatusTexts) {
    EXPECT_EQ(KillServerText(1),
              "KILLSERVER: First attempt received ... waiting 5 secs for Second attempt.");
    EXPECT_EQ(KillServerText(2), "KILLSERVER: Second attempt too late ... treated as First attempt.");
    EXPECT_EQ(KillServerText(3), "KILLSERVER: Second attempt received ... shutting down.");
    EXPECT_EQ(KillServerText(4), "KILLSERVER: Remote Shutdown has been disabled.");
}

TEST(KillServer, OutsideOneToFourHasNoText) {
    for (int status : {0, 5, 127, -1, -128}) {
        EXPECT_FALSE(KillServerText(static_cast<std::int8_t>(status))) << status;
    }
}

TEST(MessageTypes, CatalogueValues) {
    EXPECT_EQ(MSG_WELCOME, 1);
    EXPECT_EQ(MSG_QUIT, 2);
    EXPECT_EQ(MSG_CHAT, 3);
    EXPECT_EQ(MSG_PING, 4);
    EXPECT_EQ(MSG_PONG, 5);
    EXPECT_EQ(MSG_REFUSED, 6);
    EXPECT_EQ(MSG_PLAYER_JOIN, 8);
    EXPECT_EQ(MSG_PLAYER_LEAVE, 9);
    EXPECT_EQ(MSG_DEATH, 11);
    EXPECT_EQ(MSG_PLAYER_VALUE, 12);
    EXPECT_EQ(MSG_LOGIN, 13);
    EXPECT_EQ(MSG_KICK, 14);
    EXPECT_EQ(MSG_BAN, 15);
    EXPECT_EQ(MSG_REMOVE_IP_RESULT, 16);
    EXPECT_EQ(MSG_LIST_TEXT, 17);
    EXPECT_EQ(MSG_KILLSERVER, 18);
}
