// The roster: a doubly linked chain of nodes drawn from a pool that grows in blocks of
// BLOCK_SIZE nodes and is released whole whenever the roster becomes empty.

#include "engine/PlayerList.h"

#include <cstring>

void CPlayerList::Add(std::uint8_t id, std::string_view name) {
    PlayerInfo info;
    info.id = id;
    info.value = 0;
    // The text ends at its first NUL; at most MAX_NAME characters are kept, the rest of the
    // name field stays zero.
    const std::size_t nul = name.find('\0');
    if (nul != std::string_view::npos) {
        name = name.substr(0, nul);
    }
    const std::size_t length = name.size() < MAX_NAME ? name.size() : MAX_NAME;
    std::memcpy(info.name, name.data(), length);
    Append(info);
}

void CPlayerList::SetValue(std::uint8_t id, std::int16_t value) {
    Node* node = FindById(id);
    if (node == nullptr) {
        return;
    }
    PlayerInfo info = node->info; // copy first: Unlink may release every block
    Unlink(node);
    info.value = value;
    Append(info);
}

std::optional<std::string> CPlayerList::NameById(std::uint8_t id) const {
    const Node* node = FindById(id);
    if (node == nullptr) {
        return std::nullopt;
    }
    return std::string(node->info.name);
}

std::optional<std::string> CPlayerList::NameByPosition(int position) const {
    const Node* node = FindByPosition(position);
    if (node == nullptr) {
        return std::nullopt;
    }
    return std::string(node->info.name);
}

std::uint8_t CPlayerList::IdByPosition(int position) const {
    const Node* node = FindByPosition(position);
    return node ? node->info.id : 0;
}

std::int16_t CPlayerList::ValueByPosition(int position) const {
    const Node* node = FindByPosition(position);
    return node ? node->info.value : 0;
}

void CPlayerList::RemoveById(std::uint8_t id) {
    Node* node = FindById(id);
    if (node != nullptr) {
        Unlink(node);
    }
}

void CPlayerList::RemoveAll() {
    while (first != nullptr) {
        Unlink(first); // the last removal releases every block
    }
}

int CPlayerList::ReachableCount() const {
    int reachable = 0;
    for (const Node* node = first; node != nullptr; node = node->next) {
        ++reachable;
    }
    return reachable;
}

CPlayerList::Node* CPlayerList::FindById(std::uint8_t id) const {
    for (Node* node = first; node != nullptr; node = node->next) {
        if (node->info.id == id) {
            return node;
        }
    }
    return nullptr;
}

CPlayerList::Node* CPlayerList::FindByPosition(int position) const {
    // Positions are not cut to 8 bits: anything outside 0..count-1 is absent.
    if (position < 0 || position >= count) {
        return nullptr;
    }
    Node* node = first;
    for (int i = 0; i < position && node != nullptr; ++i) {
        node = node->next;
    }
    return node;
}

void CPlayerList::Append(const PlayerInfo& info) {
    if (freeNodes == nullptr) {
        std::unique_ptr<Node[]> block(new Node[BLOCK_SIZE]);
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            block[i].next = freeNodes;
            freeNodes = &block[i];
        }
        blocks.push_back(std::move(block));
    }
    Node* node = freeNodes;
    freeNodes = node->next;

    node->info = info;
    node->next = nullptr;
    node->prev = last;
    if (last != nullptr) {
        last->next = node;
    } else {
        first = node;
    }
    last = node;
    ++count;
}

void CPlayerList::Unlink(Node* node) {
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    } else {
        first = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    } else {
        last = node->prev;
    }
    --count;

    if (count == 0) {
        // Pool rule: an empty roster holds no node memory.
        first = nullptr;
        last = nullptr;
        freeNodes = nullptr;
        blocks.clear();
        return;
    }
    node->info = PlayerInfo{};
    node->prev = nullptr;
    node->next = freeNodes;
    freeNodes = node;
}
