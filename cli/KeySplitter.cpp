#include "cli/KeySplitter.h"

#include <algorithm>
#include <cwchar>

namespace {

constexpr char ESC = '\x1b';
// Longer than any key a terminal sends; a longer "sequence" is noise.
constexpr std::size_t MAX_SEQUENCE = 16;

} // namespace

CKeySplitter::CKeySplitter(std::set<std::string> boundSequences)
    : bound(std::move(boundSequences)) {}

void CKeySplitter::Add(std::string_view bytes, Clock::time_point now) {
    pending.append(bytes);
    lastInput = now;
}

CKeySplitter::Key CKeySplitter::CharacterAt(std::size_t at) const {
    std::mbstate_t state{};
    wchar_t ignored = 0;
    const std::size_t used =
        std::mbrtowc(&ignored, pending.data() + at, pending.size() - at, &state);
    if (used == static_cast<std::size_t>(-2)) {
        return {pending.size(), false};
    }
    if (used == static_cast<std::size_t>(-1) || used == 0) {
        return {at + 1, true}; // no character of the locale, or NUL: the byte alone
    }
    return {at + used, true};
}

CKeySplitter::Key CKeySplitter::FrontKey() const {
    if (pending.front() != ESC) {
        return CharacterAt(0);
    }
    if (pending.size() == 1) {
        return {1, false};
    }
    switch (pending[1]) {
    case '[': // CSI: parameter and intermediate bytes, then one final byte
        for (std::size_t i = 2; i < pending.size() && i < MAX_SEQUENCE; ++i) {
            const auto c = static_cast<unsigned char>(pending[i]);
            if (c >= 0x40 && c <= 0x7E) {
                return {i + 1, true};
            }
            if (c < 0x20 || c > 0x3F) {
                return {i, true}; // broken off: what came so far is one (unbound) key
            }
        }
        return {std::min(pending.size(), MAX_SEQUENCE), pending.size() >= MAX_SEQUENCE};
    case 'O': // SS3: one more byte
        return {std::min<std::size_t>(pending.size(), 3), pending.size() >= 3};
    case ESC: // Escape, and a new key starts
        return {1, true};
    default: // Alt with a character
        return CharacterAt(1);
    }
}

std::optional<std::string> CKeySplitter::Next(Clock::time_point now) {
    while (!pending.empty()) {
        Key key = FrontKey();
        if (!key.complete) {
            if (now - lastInput < KEY_TIMEOUT) {
                return std::nullopt;
            }
            if (pending.front() != ESC) {
                key.length = 1;
            }
        }
        std::string bytes = pending.substr(0, key.length);
        pending.erase(0, key.length);
        if (bytes.front() != ESC || bound.count(bytes) != 0) {
            return bytes;
        }
    }
    return std::nullopt;
}

int CKeySplitter::MsUntilResolved(Clock::time_point now) const {
    if (pending.empty()) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(lastInput + KEY_TIMEOUT - now);
    return static_cast<int>(std::max<long long>(left.count(), 0));
}
