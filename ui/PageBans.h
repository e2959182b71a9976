#pragma once
// A server page's bans: the core's ban session over the page's client, stepped five times a
// second, the ban and kick dialog, and the Bans window, which also shows the list the admin
// asks for by typing /list. What the ban memory says comes back as lines for the page's log.

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "core/bans/BanSession.h"

class QTimer;
class CBansWindow;

class CPageBans : public QObject {
    Q_OBJECT
  public:
    CPageBans(CPlayerStore& store, QWidget* page);
    ~CPageBans() override;

    // The client the page's bans go to; null while there is none.
    void SetClient(CAdminClient* client) { this->client = client; }
    void SessionStarting(const std::string& host, int port, const std::string& adminUser);
    void Connected();
    void Disconnected();
    // Every event of the client; the Bans window opens for a list the admin asked for.
    void Observe(const ClientEvent& event);
    // A console line the admin sent (Latin-1).
    void AdminSent(const std::string& line);

    // The dialog for a ban or a kick with a reason of `player`; on Ban or Kick the order goes
    // out at the next step.
    void AskToRemove(RemovalOrder::Kind kind, const PlayerKey& player);
    // Automation's ban, recorded like the admin's.
    void RemoveForAutomation(const AutomationOutput& ban) { session.RemoveForAutomation(ban); }
    // Opens the Bans window and asks the server for its list.
    void ShowWindow();

    CBanSession& Session() { return session; }
    CBansWindow* Window() const { return window; }

  signals:
    void logLine(const QString& text, bool problem);

  private:
    void Step();
    void ShowRows();
    QStringList LastReasons();

    CPlayerStore& store;
    CBanSession session;
    CAdminClient* client = nullptr;
    QTimer* tick;
    CBansWindow* window;
    std::uint64_t listsShown = 0;
    bool rowsIncomplete = false; // the records could not be read for the rows shown
};
