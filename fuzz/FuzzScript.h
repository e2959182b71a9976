#pragma once
// A fuzz input read front to back as a script of steps. Past the input's end every read gives
// zeros, so a script cut short still ends in well-defined steps.

#include <cstddef>
#include <cstdint>

class FuzzScript {
  public:
    FuzzScript(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool AtEnd() const { return pos >= size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    std::uint16_t Uint16() {
        const unsigned low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }
    std::int32_t Int32() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(Byte()) << shift;
        }
        return static_cast<std::int32_t>(value);
    }
    // Up to `count` bytes; fewer when the input ends first. Returns where they start.
    const std::uint8_t* Take(std::size_t count, std::size_t& taken) {
        taken = count < size - pos ? count : size - pos;
        const std::uint8_t* start = data + pos;
        pos += taken;
        return start;
    }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};
