#include "ui/SharedPlayerStore.h"

#include "core/players/PlayerStore.h"

std::shared_ptr<CPlayerStore> SharedPlayerStore(int chatRetentionDays) {
    // The window's thread only: no lock.
    static std::weak_ptr<CPlayerStore> shared;
    std::shared_ptr<CPlayerStore> store = shared.lock();
    if (!store) {
        PlayerStoreOptions options;
        options.chatRetentionDays = chatRetentionDays;
        store = std::make_shared<CPlayerStore>(options);
        shared = store;
    }
    return store;
}
