#pragma once
// The profile passwords in the desktop keyring, without ever blocking the caller: each call
// queues a request and returns its number at once; a worker thread talks to the keyring over
// D-Bus (which may take long, e.g. while the keyring shows an unlock prompt); the answers come
// back in order through ReadyFd() and TakeAnswer(). A password is never written anywhere else.
//
//   CKeyring keyring;
//   const unsigned asked = keyring.Lookup(profile);
//   ... poll() / QSocketNotifier on keyring.ReadyFd() ...
//   while (std::optional<KeyringAnswer> answer = keyring.TakeAnswer()) { ... }

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "core/profiles/KeyringAnswer.h"
#include "core/profiles/ReadyFlag.h"
#include "core/profiles/ServerProfile.h"

typedef struct _GCancellable GCancellable;

class CKeyring {
  public:
    CKeyring();
    // Cancels the request under way and drops the rest; waits only for the cancelled call.
    ~CKeyring();
    CKeyring(const CKeyring&) = delete;
    CKeyring& operator=(const CKeyring&) = delete;

    unsigned Lookup(const ServerProfile& profile);
    unsigned Store(const ServerProfile& profile, std::string_view password);
    unsigned Clear(const ServerProfile& profile);
    // After a rename or a new host, port or user: the stored password follows the profile.
    unsigned Move(const ServerProfile& from, const ServerProfile& to);

    // Readable while answers wait.
    int ReadyFd() const { return ready.Fd(); }
    std::optional<KeyringAnswer> TakeAnswer();

  private:
    enum class Kind { Lookup, Store, Clear, Move };
    struct Request {
        unsigned number;
        Kind kind;
        ServerProfile profile;
        ServerProfile to; // for Move
        SecretText password;
    };

    unsigned Queue(Kind kind, const ServerProfile& profile, const ServerProfile& to,
                   std::string_view password);
    void Work();
    KeyringAnswer Carry(const Request& request);

    CReadyFlag ready;
    GCancellable* const cancellable;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Request> requests;
    std::deque<KeyringAnswer> answers;
    unsigned lastNumber = 0;
    bool ending = false;
    std::thread worker; // last: it starts once everything above is there
};
