#pragma once
// A password in memory: its bytes are overwritten before the memory goes back, so that a later
// allocation, a core dump or swap does not carry it on. Moves, never copies.

#include <string.h>
#include <string>
#include <string_view>

class SecretText {
  public:
    SecretText() = default;
    explicit SecretText(std::string_view text) : text(text) {}
    SecretText(SecretText&& other) noexcept { text.swap(other.text); }
    SecretText& operator=(SecretText&& other) noexcept {
        if (this != &other) {
            Clear();
            text.swap(other.text);
        }
        return *this;
    }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText() { Clear(); }

    const std::string& Text() const { return text; }
    bool Empty() const { return text.empty(); }

    // Overwrites every byte the string owns, spare capacity included, and empties it.
    void Clear() {
        text.resize(text.capacity());
        ::explicit_bzero(text.data(), text.size());
        text.clear();
    }

  private:
    std::string text;
};
