#pragma once
// The desktop keyring on the window's event loop: each request's answer goes to the callback of
// the one who asked, and only while the object named as its context still exists (a tab closed
// meanwhile hears nothing). The keyring itself (a worker thread and a D-Bus connection) is made
// at the first request, so a window that never uses it pays nothing.

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/profiles/KeyringAnswer.h"
#include "core/profiles/ServerProfile.h"

class CKeyring;
class QSocketNotifier;

class CKeyringAnswers : public QObject {
  public:
    using Callback = std::function<void(KeyringAnswer& answer)>;

    explicit CKeyringAnswers(QObject* parent);
    ~CKeyringAnswers() override;

    void Lookup(const ServerProfile& profile, QObject* context, Callback done);
    void Store(const ServerProfile& profile, std::string_view password, QObject* context,
               Callback done);
    void Clear(const ServerProfile& profile, QObject* context, Callback done);
    void Move(const ServerProfile& from, const ServerProfile& to, QObject* context, Callback done);

    // True the first time this reason for an unavailable keyring comes up in a run, so that the
    // window says why once and afterwards only asks for the password.
    bool FirstTimeUnavailable(const KeyringAnswer& answer);

  private:
    CKeyring& Keyring();
    void Wait(unsigned request, QObject* context, Callback done);
    void Deliver();

    std::unique_ptr<CKeyring> keyring;
    QSocketNotifier* notifier = nullptr;
    struct Waiting {
        QPointer<QObject> context;
        Callback done;
    };
    std::map<unsigned, Waiting> waiting;
    std::string unavailableSaid;
};
