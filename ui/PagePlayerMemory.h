#pragma once
// A server page's player memory: it records the page's sessions into the process's one store,
// feeds the player table's Seen column and tooltips, marks a watched player's join in the log and
// asks for attention, writes automation's notes and deeds, and opens the Players window, the
// Note editor and a player's History. Problems with the file become dark-red log lines, each
// said once. The page makes the calls in this order:
//   SessionStarting(client, ...)   when it connects
//   Observe(event)                 for each event of the client
//   Tick()                         after each tick of the client
//   BeforeKick(pos), OnAutomation(output)   as they happen
//   Closing()                      when the window closes, after the session's end

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/automation/AutomationOutput.h"
#include "core/players/PlayerRecords.h"
#include "ui/PlayerSeenCache.h"

class QTimer;
class CAdminClient;
class CPlayerRecorder;
class CPlayerStore;
class CPlayerTable;
class CPlayersWindow;
class CNoteEditor;
struct ClientEvent;
struct PlayerSeen;

// The page's server and admin as its login fields name them.
struct PageServer {
    ServerKey key;
    std::string adminUser; // UTF-8
};

class CPagePlayerMemory : public QObject {
    Q_OBJECT
  public:
    // `table` gets its Seen column from here; `server` names the page's server (its login
    // fields), none when they do not.
    CPagePlayerMemory(QWidget* page, CPlayerTable* table,
                      std::function<std::optional<PageServer>()> server, int chatRetentionDays);
    ~CPagePlayerMemory() override;

    void SessionStarting(CAdminClient* client, const PageServer& session);
    void Observe(const ClientEvent& event);
    void Tick();
    void BeforeKick(int position);
    void OnAutomation(const AutomationOutput& output);
    void Closing();
    void SetChatRetention(int days);

    void ShowPlayersWindow();
    // The Players window on the player's page; `name` as the server sent it.
    void ShowHistory(const std::string& name);
    void EditNote(const std::string& name);

    CPlayerStore& Store() { return *store; }
    CPlayersWindow* Window() const { return window; }
    CNoteEditor* NoteEditor() const { return noteEditor; }

  signals:
    // A sentence about the file for the log, in dark red.
    void problem(const QString& text);
    void attentionWanted();
    // A watched player joined (the name escaped): the page's tab may stand out.
    void watchedPlayerJoined(const QString& name);

  private:
    std::vector<PlayerSeen> SeenOf(const std::vector<std::string>& names);
    // Marks the join of `name` when the memory knows them as watched; false when it could not
    // be read yet.
    bool CheckJoin(const std::string& name);
    void ReportProblems();
    void OnSecond();
    void EnsureWindow();

    QWidget* page;
    CPlayerTable* table;
    std::function<std::optional<PageServer>()> server;
    std::shared_ptr<CPlayerStore> store;
    CPlayerSeenCache cache;
    std::unique_ptr<CPlayerRecorder> recorder;
    CAdminClient* client = nullptr;
    QTimer* second;
    // Joins met while the memory could not be read (still opening, locked): checked later.
    std::vector<std::string> uncheckedJoins;
    CPlayersWindow* window = nullptr;
    CNoteEditor* noteEditor = nullptr;
};
