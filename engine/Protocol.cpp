// The admin wire protocol: encoders for both directions and bounds-checked decoders.
// Byte layouts are in the grammar comment of Protocol.h.

#include "engine/Protocol.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace wire {

namespace {

void AppendText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Fixed header bytes, the text, a NUL. Sized up front: growing the vector piecewise here trips
// a false -Wfree-nonheap-object in GCC 12 at -O3.
Bytes HeaderTextNul(std::initializer_list<std::uint8_t> header, std::string_view text) {
    Bytes out(header.size() + text.size() + 1, 0);
    std::copy(header.begin(), header.end(), out.begin());
    std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(header.size()));
    return out;
}

void AppendInt16(Bytes& out, std::int16_t value) {
    const auto raw = static_cast<std::uint16_t>(value);
    out.push_back(static_cast<std::uint8_t>(raw & 0xFF));
    out.push_back(static_cast<std::uint8_t>(raw >> 8));
}

// The view from `offset` on (empty when `offset` is at or past the end).
ByteView Tail(ByteView bytes, std::size_t offset) {
    if (offset >= bytes.size) {
        return ByteView{bytes.data + bytes.size, 0};
    }
    return ByteView{bytes.data + offset, bytes.size - offset};
}

} // namespace

std::string TextUntilNul(ByteView bytes) {
    if (bytes.data == nullptr || bytes.size == 0) {
        return {};
    }
    const void* nul = std::memchr(bytes.data, 0, bytes.size);
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - bytes.data)
            : bytes.size;
    return std::string(reinterpret_cast<const char*>(bytes.data), length);
}

std::int16_t ReadInt16(const std::uint8_t* twoBytes) {
    const auto raw = static_cast<std::uint16_t>(twoBytes[0] | (twoBytes[1] << 8));
    return static_cast<std::int16_t>(raw);
}

// --- client -> server ---

Bytes EncodeLogin(std::string_view user, std::string_view password) {
    Bytes out;
    out.reserve(user.size() + password.size() + 4);
    out.push_back(MSG_LOGIN);
    out.push_back(LOGIN_CONSTANT);
    AppendText(out, user);
    out.push_back(static_cast<std::uint8_t>(LOGIN_SEPARATOR));
    AppendText(out, password);
    out.push_back(0);
    return out;
}

Bytes EncodeQuit() {
    return Bytes{MSG_QUIT, 0};
}

Bytes EncodeChat(std::string_view text) {
    return HeaderTextNul({MSG_CHAT, CHAT_KIND_SERVER}, text);
}

Bytes EncodePong() {
    return Bytes{MSG_PONG};
}

Bytes EncodeKick(std::uint8_t id) {
    return Bytes{MSG_KICK, id};
}

Bytes EncodeBan(std::uint8_t id) {
    return Bytes{MSG_BAN, id};
}

Bytes EncodeKillServer() {
    return Bytes{MSG_KILLSERVER};
}

// --- server -> client ---

Bytes EncodeWelcome(const std::vector<PlayerEntry>& players) {
    Bytes out(WELCOME_BLOCK_OFFSET, 0);
    out[0] = MSG_WELCOME;
    for (const PlayerEntry& p : players) {
        out.push_back(p.id);
        AppendInt16(out, p.value);
        AppendText(out, p.name);
        out.push_back(ENTRY_END);
    }
    return out;
}

Bytes EncodeServerChat(std::uint8_t sender, std::uint8_t kind, std::string_view text) {
    return HeaderTextNul({MSG_CHAT, sender, kind}, text);
}

Bytes EncodePing() {
    return Bytes{MSG_PING};
}

Bytes EncodeRefused(std::uint8_t code) {
    return Bytes{MSG_REFUSED, code};
}

Bytes EncodePlayerJoin(std::uint8_t id, std::string_view name) {
    // The name runs to the datagram's end: no terminator.
    Bytes out{MSG_PLAYER_JOIN, id};
    AppendText(out, name);
    return out;
}

Bytes EncodePlayerLeave(std::uint8_t reason, std::uint8_t id) {
    return Bytes{MSG_PLAYER_LEAVE, reason, id};
}

Bytes EncodeDeath(std::uint8_t victim, std::uint8_t killer) {
    return Bytes{MSG_DEATH, victim, killer};
}

Bytes EncodePlayerValue(std::uint8_t id, std::int16_t value) {
    Bytes out{MSG_PLAYER_VALUE, id};
    AppendInt16(out, value);
    return out;
}

Bytes EncodeRemoveIpResult(std::uint8_t result) {
    return Bytes{MSG_REMOVE_IP_RESULT, result};
}

Bytes EncodeListText(std::string_view text) {
    Bytes out{MSG_LIST_TEXT};
    AppendText(out, text);
    return out;
}

Bytes EncodeKillServerStatus(std::int8_t status) {
    return Bytes{MSG_KILLSERVER, static_cast<std::uint8_t>(status)};
}

// --- server -> client decoders ---

std::vector<PlayerEntry> DecodePlayerBlock(ByteView block) {
    std::vector<PlayerEntry> players;
    if (block.data == nullptr) {
        return players;
    }
    const std::size_t length = block.size;
    std::size_t index = 0;
    while (index < length) {
        // An entry cut short before its name (fewer than 4 bytes left) has an empty name and is
        // skipped; with fewer than 3 bytes even the value is missing. Either way the block ends.
        if (length - index < 4) {
            break;
        }
        const auto id = static_cast<std::int8_t>(block.data[index]);
        const std::int16_t value = ReadInt16(block.data + index + 1);
        index += 3;
        const std::size_t nameStart = index;
        while (index < length && block.data[index] != ENTRY_END) {
            ++index;
        }
        std::string name = TextUntilNul(ByteView{block.data + nameStart, index - nameStart});
        if (!name.empty() && id >= 0) {
            players.push_back(PlayerEntry{static_cast<std::uint8_t>(id), value, std::move(name)});
        }
        ++index; // past the 0x07 (or past the end, which ends the walk)
    }
    return players;
}

std::optional<Chat> DecodeChat(ByteView payload) {
    if (payload.data == nullptr || payload.size < 2) {
        return std::nullopt;
    }
    return Chat{payload.data[0], payload.data[1], TextUntilNul(Tail(payload, 2))};
}

std::optional<std::uint8_t> DecodeRefused(ByteView payload) {
    if (payload.data == nullptr || payload.size < 1) {
        return std::nullopt;
    }
    return payload.data[0];
}

std::optional<PlayerJoin> DecodePlayerJoin(ByteView payload) {
    if (payload.data == nullptr || payload.size < 1) {
        return std::nullopt;
    }
    return PlayerJoin{payload.data[0], TextUntilNul(Tail(payload, 1))};
}

std::optional<PlayerLeave> DecodePlayerLeave(ByteView payload) {
    if (payload.data == nullptr || payload.size < 2) {
        return std::nullopt;
    }
    return PlayerLeave{payload.data[0], payload.data[1]};
}

std::optional<Death> DecodeDeath(ByteView payload) {
    if (payload.data == nullptr || payload.size < 2) {
        return std::nullopt;
    }
    return Death{payload.data[0], payload.data[1]};
}

std::optional<PlayerValue> DecodePlayerValue(ByteView payload) {
    if (payload.data == nullptr || payload.size < 3) {
        return std::nullopt;
    }
    return PlayerValue{payload.data[0], ReadInt16(payload.data + 1)};
}

std::optional<std::uint8_t> DecodeRemoveIpResult(ByteView payload) {
    if (payload.data == nullptr || payload.size < 1) {
        return std::nullopt;
    }
    return payload.data[0];
}

std::string DecodeListText(ByteView payload) {
    if (payload.data == nullptr || payload.size == 0) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(payload.data), payload.size);
}

std::optional<std::int8_t> DecodeKillServerStatus(ByteView payload) {
    if (payload.data == nullptr || payload.size < 1) {
        return std::nullopt;
    }
    return static_cast<std::int8_t>(payload.data[0]);
}

std::vector<std::string> SplitListText(std::string_view text) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == LIST_SEPARATOR) {
            entries.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return entries;
}

// --- server-side decoders of client messages ---

std::optional<Login> DecodeLogin(ByteView payload) {
    // payload = constant byte, user, "|", password, NUL. The constant byte is not checked here;
    // the user runs to the first "|", the password to the first NUL after it. A login without
    // either is malformed.
    if (payload.data == nullptr || payload.size < 3) {
        return std::nullopt;
    }
    const ByteView rest = Tail(payload, 1);
    const auto* bar = static_cast<const std::uint8_t*>(
        std::memchr(rest.data, static_cast<unsigned char>(LOGIN_SEPARATOR), rest.size));
    if (bar == nullptr) {
        return std::nullopt;
    }
    const auto userLength = static_cast<std::size_t>(bar - rest.data);
    const ByteView password = Tail(rest, userLength + 1);
    if (std::memchr(password.data, 0, password.size) == nullptr) {
        return std::nullopt;
    }
    Login login;
    login.user = TextUntilNul(ByteView{rest.data, userLength});
    login.password = TextUntilNul(password);
    return login;
}

std::optional<std::uint8_t> DecodePlayerCommand(ByteView payload) {
    if (payload.data == nullptr || payload.size < 1) {
        return std::nullopt;
    }
    return payload.data[0];
}

std::optional<std::string> DecodeClientChat(ByteView payload) {
    // payload = kind (always 3, not checked), text, NUL.
    const ByteView text = Tail(payload, 1);
    if (payload.data == nullptr || std::memchr(text.data, 0, text.size) == nullptr) {
        return std::nullopt;
    }
    return TextUntilNul(text);
}

} // namespace wire
