#pragma once
// A server page's automation: the rules file of its server, run over its sessions through the
// core's automation session, ticked once a second whether connected or not, and the Automation
// window that shows and switches the rules. What automation does comes back as lines for the
// page's log, in automation's own colour and mark.

#include <QObject>
#include <QString>
#include <memory>

#include "core/automation/Automation.h"
#include "core/automation/AutomationSession.h"

class QTimer;
class CAdminClient;
class CAutomationWindow;
struct ClientEvent;

class CPageAutomation : public QObject {
    Q_OBJECT
  public:
    explicit CPageAutomation(QWidget* page);
    ~CPageAutomation() override;

    // A session with this server starts: its rules file (`rulesFile`, else the server's default
    // file) is loaded when it exists; a file with errors is said once and nothing of it runs.
    void SessionStarting(const std::string& host, int port, const std::string& rulesFile);
    void Connected();
    void Disconnected();
    void Observe(const ClientEvent& event);
    // The client that what automation asks of the server goes to; null while there is none.
    void SetClient(CAdminClient* client) { this->client = client; }

    void ShowWindow();
    CAutomation& Rules() { return automation; }
    CAutomationSession& Session() { return session; }

  signals:
    void logLine(const QString& text);
    void attentionWanted();
    // Each output, after its log line: the player memory keeps notes, kicks and bans.
    void outputCarried(const AutomationOutput& output);

  private:
    void Step();
    void Load(const std::string& path, bool quietWhenMissing);

    CAutomation automation;
    CAutomationSession session{automation};
    QTimer* tick;
    CAdminClient* client = nullptr;
    CAutomationWindow* window;
};
