#pragma once
// The roster: the server's players in the order the window lists them. Positions count from 0
// at the first record; ids are not unique and every lookup by id takes the first match.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Protocol.h"

struct PlayerInfo {
    std::uint8_t id = 0;
    std::int16_t value = 0;
    char name[MAX_NAME + 1] = {}; // NUL-terminated, the bytes after it zero
};

class CPlayerList {
  public:
    CPlayerList() = default;
    CPlayerList(const CPlayerList&) = delete;
    CPlayerList& operator=(const CPlayerList&) = delete;

    // Appends a record with value 0 and the first 12 characters of `name` (up to its first NUL).
    void Add(std::uint8_t id, std::string_view name);
    // Gives the first record with `id` the new value and moves it to the end; absent id: no change.
    void SetValue(std::uint8_t id, std::int16_t value);
    std::optional<std::string> NameById(std::uint8_t id) const;
    // Position lookups: a position outside 0..GetCount()-1 is absent (nothing, 0, 0).
    std::optional<std::string> NameByPosition(int position) const;
    std::uint8_t IdByPosition(int position) const;
    std::int16_t ValueByPosition(int position) const;
    void RemoveById(std::uint8_t id);
    void RemoveAll();
    int GetCount() const { return count; }

    // Calls `visit` with every record in roster order, in one walk of the chain.
    template <typename Visit> void ForEach(Visit&& visit) const {
        for (const Node* node = first; node != nullptr; node = node->next) {
            visit(node->info);
        }
    }

    // Node memory held, in blocks of BLOCK_SIZE (0 whenever the roster is empty).
    int AllocatedBlocks() const { return static_cast<int>(blocks.size()); }
    // Records reachable by walking the chain forwards; equals GetCount() unless corrupted.
    int ReachableCount() const;

    static constexpr int BLOCK_SIZE = 10;

  private:
    struct Node {
        Node* next = nullptr;
        Node* prev = nullptr;
        PlayerInfo info;
    };

    Node* FindById(std::uint8_t id) const;
    Node* FindByPosition(int position) const;
    void Append(const PlayerInfo& info);
    void Unlink(Node* node);

    Node* first = nullptr;
    Node* last = nullptr;
    int count = 0;
    Node* freeNodes = nullptr; // singly linked through `next`
    std::vector<std::unique_ptr<Node[]>> blocks;
};
