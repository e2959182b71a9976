#include "ui/PasswordFetch.h"

#include <QSocketNotifier>

#include "core/profiles/PasswordCommand.h"
#include "ui/KeyringAnswers.h"

CPasswordFetch::CPasswordFetch(CKeyringAnswers& keyring, QObject* parent)
    : QObject(parent), keyring(keyring) {}

CPasswordFetch::~CPasswordFetch() {
    Cancel();
}

void CPasswordFetch::Start(const ServerProfile& profile, Done onDone) {
    Cancel();
    done = std::move(onDone);
    if (profile.passwordSource == PasswordSource::Command) {
        command = std::make_unique<CPasswordCommand>(profile.passwordCommand);
        commandWatch = new QSocketNotifier(static_cast<qintptr>(command->ReadyFd()),
                                           QSocketNotifier::Read, this);
        connect(commandWatch, &QSocketNotifier::activated, this, &CPasswordFetch::CommandAnswered);
        return;
    }
    keyringRequest = std::make_unique<QObject>();
    keyring.Lookup(profile, keyringRequest.get(), [this](KeyringAnswer& answer) {
        FetchedPassword fetched;
        switch (answer.outcome) {
        case KeyringOutcome::Found:
            fetched.outcome = FetchedPassword::Outcome::Found;
            fetched.password = std::move(answer.password);
            break;
        case KeyringOutcome::NotStored:
            fetched.outcome = FetchedPassword::Outcome::NotStored;
            fetched.notice = QString::fromStdString(answer.message);
            break;
        default:
            fetched.outcome = FetchedPassword::Outcome::Unavailable;
            if (keyring.FirstTimeUnavailable(answer)) {
                fetched.notice = QString::fromStdString(answer.message);
            }
            break;
        }
        keyringRequest.release()->deleteLater(); // its callback is running now
        Finish(fetched);
    });
}

void CPasswordFetch::CommandAnswered() {
    std::optional<CommandAnswer> answer = command->TakeAnswer();
    if (!answer) {
        return;
    }
    FetchedPassword fetched;
    if (answer->problem.empty()) {
        fetched.outcome = FetchedPassword::Outcome::Found;
        fetched.password = std::move(answer->password);
    } else {
        fetched.notice = QString::fromStdString(answer->problem);
    }
    Finish(fetched);
}

void CPasswordFetch::Finish(FetchedPassword& fetched) {
    Done callback = std::move(done);
    done = nullptr;
    Cancel(); // the command has ended; its worker is done
    if (callback) {
        callback(fetched);
    }
}

void CPasswordFetch::Cancel() {
    done = nullptr;
    keyringRequest.reset();
    if (commandWatch) {
        commandWatch->setEnabled(false);
        commandWatch->deleteLater(); // it may be the notifier whose signal runs now
        commandWatch = nullptr;
    }
    command.reset();
}
