#pragma once
// The Players window of a server page: the players the memory holds for the page's server, by
// name or by what they said in chat across all sessions, as a table (name, last seen, sessions,
// play time, kicks and bans, note), and beside it the page of the chosen player. It reads only;
// it works whether the page is connected or not.

#include <QByteArray>
#include <QDialog>
#include <optional>
#include <string>

#include "core/players/PlayerRecords.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class CPlayerPageView;
class CPlayerStore;

class CPlayersWindow : public QDialog {
    Q_OBJECT
  public:
    CPlayersWindow(CPlayerStore& store, QWidget* owner);

    // Shows the window for `server` (none: the page's fields name no server) and searches
    // again with what the box holds (everyone when it is empty).
    void Open(const std::optional<ServerKey>& server, const std::string& adminUser);
    // The page of `name` (as the server sent it), chosen in the table when it is listed.
    void ShowPlayer(const std::string& name);
    void Search();

    QLineEdit* m_search;
    QRadioButton* m_byName;
    QRadioButton* m_byChat;
    QLabel* m_status;
    QTreeWidget* m_results;
    CPlayerPageView* m_page;

  signals:
    void readDone();
    void playerChanged(const QByteArray& name);

  private:
    void Fill(const std::vector<PlayerSummary>& found, bool chat);
    void OnChosen(QTreeWidgetItem* item);
    QTreeWidgetItem* RowOf(const std::string& name) const;

    CPlayerStore& store;
    std::optional<ServerKey> server;
    std::string adminUser;
};
