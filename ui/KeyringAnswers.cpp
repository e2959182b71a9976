#include "ui/KeyringAnswers.h"

#include <QSocketNotifier>

#include "core/profiles/Keyring.h"

CKeyringAnswers::CKeyringAnswers(QObject* parent) : QObject(parent) {}

// The keyring cancels the call under way and drops the rest; nobody waits for them any more.
CKeyringAnswers::~CKeyringAnswers() = default;

CKeyring& CKeyringAnswers::Keyring() {
    if (!keyring) {
        keyring = std::make_unique<CKeyring>();
        notifier = new QSocketNotifier(static_cast<qintptr>(keyring->ReadyFd()),
                                       QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &CKeyringAnswers::Deliver);
    }
    return *keyring;
}

void CKeyringAnswers::Lookup(const ServerProfile& profile, QObject* context, Callback done) {
    Wait(Keyring().Lookup(profile), context, std::move(done));
}

void CKeyringAnswers::Store(const ServerProfile& profile, std::string_view password,
                            QObject* context, Callback done) {
    Wait(Keyring().Store(profile, password), context, std::move(done));
}

void CKeyringAnswers::Clear(const ServerProfile& profile, QObject* context, Callback done) {
    Wait(Keyring().Clear(profile), context, std::move(done));
}

void CKeyringAnswers::Move(const ServerProfile& from, const ServerProfile& to, QObject* context,
                           Callback done) {
    Wait(Keyring().Move(from, to), context, std::move(done));
}

void CKeyringAnswers::Wait(unsigned request, QObject* context, Callback done) {
    waiting[request] = Waiting{context, std::move(done)};
}

bool CKeyringAnswers::FirstTimeUnavailable(const KeyringAnswer& answer) {
    if (answer.outcome != KeyringOutcome::Unavailable || answer.message == unavailableSaid) {
        return false;
    }
    unavailableSaid = answer.message;
    return true;
}

// Every answer waiting, in the order asked. A callback may ask again (and so add to `waiting`)
// or open a box, in which this runs nested: each answer is taken out before its callback runs.
void CKeyringAnswers::Deliver() {
    while (std::optional<KeyringAnswer> answer = keyring->TakeAnswer()) {
        const auto found = waiting.find(answer->request);
        if (found == waiting.end()) {
            continue;
        }
        Waiting asked = std::move(found->second);
        waiting.erase(found);
        if (asked.context) {
            asked.done(*answer);
        }
    }
}
