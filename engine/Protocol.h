#pragma once
// The admin wire protocol: every message is one UDP datagram on a socket connected to the one
// server address; byte 0 is the message type, read as a signed 8-bit number.
//
// Grammar (u8 = one byte, i16 = signed 16-bit little-endian, text = single-byte characters):
//
//   client -> server                 (a login or chat without its closing NUL is malformed)
//     login      = 13 u8:8 user "|" password 0x00       (user never holds "|")
//     quit       = 2 0x00
//     chat       = 3 u8:3 text 0x00
//     pong       = 5
//     kick       = 14 u8:id
//     ban        = 15 u8:id
//     killserver = 18
//
//   server -> client                 (a text ends at its first NUL or at the datagram's end)
//     welcome    = 1 15*u8 block     block = *entry ; block may be empty, read only if length > 4
//       entry    = u8:id(signed; negative = skipped) i16:value name [0x07]
//                  name = bytes up to 0x07 or the block's end; empty as text = skipped
//     chat       = 3 u8:sender u8:kind text    kind 3 = no sender shown, 2 = own colour
//     ping       = 4 *u8
//     refused    = 6 u8:code
//     join       = 8 u8:id name                 name runs to the datagram's end
//     leave      = 9 u8:reason u8:id            reason 1 = kicked, 2 = timed out, else left
//     death      = 11 u8:victim u8:killer       killer == victim: suicide; unknown killer: none
//     value      = 12 u8:id i16:value
//     removeip   = 16 u8:result                 0 = the address could not be removed
//     listtext   = 17 *("entry" "|") [tail]     tail (no closing "|") forms no entry
//     killstatus = 18 i8:status                 1..4
//
// Types 7 and 10 are unused; every other type is ignored on receipt. A datagram shorter than its
// type's layout is dropped by the decoders below (they return nothing), never read past.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Message types (byte 0 of every datagram).
enum MsgType : std::uint8_t {
    MSG_WELCOME = 1,
    MSG_QUIT = 2,
    MSG_CHAT = 3,
    MSG_PING = 4,
    MSG_PONG = 5,
    MSG_REFUSED = 6,
    MSG_PLAYER_JOIN = 8,
    MSG_PLAYER_LEAVE = 9,
    MSG_DEATH = 11,
    MSG_PLAYER_VALUE = 12,
    MSG_LOGIN = 13,
    MSG_KICK = 14,
    MSG_BAN = 15,
    MSG_REMOVE_IP_RESULT = 16,
    MSG_LIST_TEXT = 17,
    MSG_KILLSERVER = 18,
};

// Fixed limits and constant bytes.
constexpr std::size_t MAX_NAME = 12;
constexpr std::size_t MAX_DATAGRAM = 1024;
constexpr std::size_t MAX_LIST_TEXT = MAX_DATAGRAM - 1;
constexpr std::size_t WELCOME_BLOCK_OFFSET = 16;
constexpr std::size_t WELCOME_MIN_READ = 5; // a welcome of 4 bytes or fewer has no block read
constexpr std::uint8_t LOGIN_CONSTANT = 8;
constexpr std::uint8_t ENTRY_END = 0x07;
constexpr char LIST_SEPARATOR = '|';
constexpr char LOGIN_SEPARATOR = '|';

constexpr std::uint8_t CHAT_KIND_TEAM = 2;
constexpr std::uint8_t CHAT_KIND_SERVER = 3;
constexpr std::uint8_t LEAVE_KICKED = 1;
constexpr std::uint8_t LEAVE_TIMED_OUT = 2;

// The server's answers to a shutdown request (killstatus). It acts only on a second request
// within 5 seconds of the first.
enum class ShutdownStatus : std::int8_t {
    FirstAttempt = 1, // waiting for the second request
    TooLate = 2,      // the second came too late and counts as a first
    ShuttingDown = 3,
    Disabled = 4,
};

namespace wire {

// A read-only view of received bytes; every accessor is bounds-checked by its caller's length test.
struct ByteView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The text at the start of `bytes`, ending at the first NUL or the end of the view.
std::string TextUntilNul(ByteView bytes);
std::int16_t ReadInt16(const std::uint8_t* twoBytes);

// --- client -> server ---
Bytes EncodeLogin(std::string_view user, std::string_view password);
Bytes EncodeQuit();
Bytes EncodeChat(std::string_view text);
Bytes EncodePong();
Bytes EncodeKick(std::uint8_t id);
Bytes EncodeBan(std::uint8_t id);
Bytes EncodeKillServer();

// --- server -> client (the demo server and the tests build with these) ---
struct PlayerEntry {
    std::uint8_t id = 0;
    std::int16_t value = 0;
    std::string name;
    bool operator==(const PlayerEntry& o) const {
        return id == o.id && value == o.value && name == o.name;
    }
};
Bytes EncodeWelcome(const std::vector<PlayerEntry>& players);
Bytes EncodeServerChat(std::uint8_t sender, std::uint8_t kind, std::string_view text);
Bytes EncodePing();
Bytes EncodeRefused(std::uint8_t code);
Bytes EncodePlayerJoin(std::uint8_t id, std::string_view name);
Bytes EncodePlayerLeave(std::uint8_t reason, std::uint8_t id);
Bytes EncodeDeath(std::uint8_t victim, std::uint8_t killer);
Bytes EncodePlayerValue(std::uint8_t id, std::int16_t value);
Bytes EncodeRemoveIpResult(std::uint8_t result);
Bytes EncodeListText(std::string_view text);
Bytes EncodeKillServerStatus(std::int8_t status);

// --- decoders: each takes the payload (the datagram from byte 1 on) and returns nothing when the
// payload is shorter than the type's layout. ---
struct Chat {
    std::uint8_t sender = 0;
    std::uint8_t kind = 0;
    std::string text;
};
struct PlayerJoin {
    std::uint8_t id = 0;
    std::string name;
};
struct PlayerLeave {
    std::uint8_t reason = 0;
    std::uint8_t id = 0;
};
struct Death {
    std::uint8_t victim = 0;
    std::uint8_t killer = 0;
};
struct PlayerValue {
    std::uint8_t id = 0;
    std::int16_t value = 0;
};

// The players of a welcome's block (the bytes from offset 16 on), in block order; skipped entries
// are left out.
std::vector<PlayerEntry> DecodePlayerBlock(ByteView block);
std::optional<Chat> DecodeChat(ByteView payload);
std::optional<std::uint8_t> DecodeRefused(ByteView payload);
std::optional<PlayerJoin> DecodePlayerJoin(ByteView payload);
std::optional<PlayerLeave> DecodePlayerLeave(ByteView payload);
std::optional<Death> DecodeDeath(ByteView payload);
std::optional<PlayerValue> DecodePlayerValue(ByteView payload);
std::optional<std::uint8_t> DecodeRemoveIpResult(ByteView payload);
std::string DecodeListText(ByteView payload); // every payload byte; the list may be empty
std::optional<std::int8_t> DecodeKillServerStatus(ByteView payload);

// Entries of a list text: every "|" closes one; bytes after the last "|" are dropped.
std::vector<std::string> SplitListText(std::string_view text);

// Server-side decoders of what the client sends (payload = datagram from byte 1 on).
struct Login {
    std::string user;
    std::string password;
};
std::optional<Login> DecodeLogin(ByteView payload);
std::optional<std::uint8_t> DecodePlayerCommand(ByteView payload); // kick and ban: the id
std::optional<std::string> DecodeClientChat(ByteView payload);

} // namespace wire
