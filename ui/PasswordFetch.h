#pragma once
// Gets a saved server's password from where its profile says, without the event loop ever
// waiting: from the desktop keyring, or from the first line of a command (CPasswordCommand on
// its worker thread, watched by a socket notifier). One fetch at a time: Start and Cancel drop
// the one under way, whose answer then goes nowhere.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "core/profiles/SecretText.h"
#include "core/profiles/ServerProfile.h"

class CKeyringAnswers;
class CPasswordCommand;
class QSocketNotifier;

struct FetchedPassword {
    enum class Outcome {
        Found,       // `password` holds it
        NotStored,   // the keyring works but holds none for the profile
        Unavailable, // no keyring to ask
        Failed,      // the command failed
    };
    Outcome outcome = Outcome::Failed;
    SecretText password;
    // What to tell the admin when no password came (one line); empty when it need not be said
    // again (the same unavailable keyring, said before in this run).
    QString notice;
};

class CPasswordFetch : public QObject {
  public:
    using Done = std::function<void(FetchedPassword& fetched)>;

    CPasswordFetch(CKeyringAnswers& keyring, QObject* parent);
    ~CPasswordFetch() override;

    // For a profile whose password comes from the keyring or a command; `done` runs once, later,
    // on the event loop.
    void Start(const ServerProfile& profile, Done done);
    void Cancel();
    bool Running() const { return static_cast<bool>(done); }

  private:
    void Finish(FetchedPassword& fetched);
    void CommandAnswered();

    CKeyringAnswers& keyring;
    Done done;
    // The context of the keyring request under way; deleting it drops the answer.
    std::unique_ptr<QObject> keyringRequest;
    std::unique_ptr<CPasswordCommand> command;
    QSocketNotifier* commandWatch = nullptr; // on the command's answer
};
