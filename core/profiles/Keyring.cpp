#include "core/profiles/Keyring.h"

#include <gio/gio.h>

#include "core/profiles/SecretService.h"

CKeyring::CKeyring() : cancellable(g_cancellable_new()), worker([this] { Work(); }) {}

CKeyring::~CKeyring() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        requests.clear();
    }
    g_cancellable_cancel(cancellable);
    wake.notify_one();
    worker.join();
    g_object_unref(cancellable);
}

unsigned CKeyring::Lookup(const ServerProfile& profile) {
    return Queue(Kind::Lookup, profile, {}, {});
}

unsigned CKeyring::Store(const ServerProfile& profile, std::string_view password) {
    return Queue(Kind::Store, profile, {}, password);
}

unsigned CKeyring::Clear(const ServerProfile& profile) {
    return Queue(Kind::Clear, profile, {}, {});
}

unsigned CKeyring::Move(const ServerProfile& from, const ServerProfile& to) {
    return Queue(Kind::Move, from, to, {});
}

unsigned CKeyring::Queue(Kind kind, const ServerProfile& profile, const ServerProfile& to,
                         std::string_view password) {
    const std::lock_guard<std::mutex> lock(mutex);
    requests.push_back({++lastNumber, kind, profile, to, SecretText(password)});
    wake.notify_one();
    return lastNumber;
}

std::optional<KeyringAnswer> CKeyring::TakeAnswer() {
    const std::lock_guard<std::mutex> lock(mutex);
    if (answers.empty()) {
        return std::nullopt;
    }
    std::optional<KeyringAnswer> answer(std::move(answers.front()));
    answers.pop_front();
    if (answers.empty()) {
        ready.Lower();
    }
    return answer;
}

void CKeyring::Work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return ending || !requests.empty(); });
        if (ending) {
            return;
        }
        const Request request = std::move(requests.front());
        requests.pop_front();
        lock.unlock();
        KeyringAnswer answer = Carry(request);
        answer.request = request.number;
        lock.lock();
        answers.push_back(std::move(answer));
        ready.Raise();
    }
}

KeyringAnswer CKeyring::Carry(const Request& request) {
    switch (request.kind) {
    case Kind::Lookup:
        return LookupPassword(request.profile, cancellable);
    case Kind::Store:
        return StorePassword(request.profile, request.password.Text(), cancellable);
    case Kind::Clear:
        return ClearPassword(request.profile, cancellable);
    case Kind::Move:
        return MovePassword(request.profile, request.to, cancellable);
    }
    return {};
}
