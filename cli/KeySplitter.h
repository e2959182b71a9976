#pragma once
// Splits what is typed on a terminal into whole keys before the line editor sees them, so that
// the editor never waits in read() for the rest of a key. A key is a character (every byte of a
// multibyte one, in the locale's encoding), a control character or an escape sequence; an escape
// sequence is handed on only when the prompt binds it, any other is dropped whole. An incomplete
// key waits for its other bytes; when none come within KEY_TIMEOUT it is resolved as terminals
// do: a lone Escape is the Escape key (which does nothing at the prompt), a lead byte without its
// followers stands for itself, and a cut-off sequence is dropped.

#include <chrono>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>

class CKeySplitter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds KEY_TIMEOUT{100};

    explicit CKeySplitter(std::set<std::string> boundSequences);

    void Add(std::string_view bytes, Clock::time_point now);
    // The next whole key; nothing while the next one is still incomplete and in time.
    std::optional<std::string> Next(Clock::time_point now);
    // Milliseconds until a waiting incomplete key is resolved, -1 when none waits.
    int MsUntilResolved(Clock::time_point now) const;

  private:
    struct Key {
        std::size_t length;
        bool complete;
    };
    Key FrontKey() const;
    Key CharacterAt(std::size_t at) const;

    std::set<std::string> bound;
    std::string pending;
    Clock::time_point lastInput;
};
