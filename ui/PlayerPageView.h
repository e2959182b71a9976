#pragma once
// A player's page in the Players window: what the memory holds on one player of one server.
// The record at the top, the flag and "Forget player"; then the sessions, the chat lines (newest
// first, filtered by words, older ones on demand), the actions, and the note, editable. Names and
// chat are server text, shown escaped.

#include <QByteArray>
#include <QWidget>
#include <string>

#include "core/players/PlayerRecords.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class CPlayerStore;

class CPlayerPageView : public QWidget {
    Q_OBJECT
  public:
    CPlayerPageView(CPlayerStore& store, QWidget* parent);

    // The page of `name` (as the server sent it) on `server`, its chat filtered by `chatWords`.
    void Show(const ServerKey& server, const std::string& adminUser, const std::string& name,
              const QString& chatWords);
    void Clear();
    bool Showing() const { return showing; }
    const std::string& Name() const { return name; }

    QLabel* m_title;
    QLabel* m_summary;
    QComboBox* m_flag;
    QPushButton* m_forget;
    QTabWidget* m_tabs;
    QTreeWidget* m_sessions;
    QLineEdit* m_chatFilter;
    QTreeWidget* m_chat;
    QLabel* m_chatCount;
    QPushButton* m_olderChat;
    QTreeWidget* m_actions;
    QPlainTextEdit* m_note;
    QPushButton* m_saveNote;
    QLabel* m_status;

  signals:
    // A read happened: the store may have something to say about its file.
    void readDone();
    // The admin changed the player's note or flag, or had the player forgotten.
    void changed(const QByteArray& name);
    void forgotten(const QByteArray& name);

  private:
    // The page afresh, or with `more` the next older chat lines below those shown.
    void Load(bool more);
    void ShowRecord(const PlayerRecord& record);
    void SaveNote();
    void SetFlag(int index);
    void Forget();
    // False (with the reason shown) while the memory records nothing after a failed write.
    bool CanWrite();
    void SetStatus(const QString& text, bool problem);

    CPlayerStore& store;
    ServerKey server;
    std::string adminUser;
    std::string name;
    bool showing = false;
    int chatShown = 0;
};
