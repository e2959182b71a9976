#pragma once
// "Servers...": the saved servers in the picker's order, to add, edit, rename, delete and
// reorder. Every change is saved at once (a change that cannot be saved is undone, with a box);
// the desktop keyring follows: a password typed in the form is stored, a renamed server or one
// with a new host, port or user takes its password along, a deleted one's is removed. What the
// keyring answers goes to `report` (the log of the tab that opened the list).

#include <QDialog>
#include <functional>

#include "core/profiles/ServerProfile.h"

class QListWidget;
class QPushButton;
class CSavedServers;

class CServersDlg : public QDialog {
  public:
    using Report = std::function<void(const QString& line)>;

    CServersDlg(CSavedServers& servers, Report report, QWidget* parent);

    // The buttons' steps; Add and Edit open the form, Rename asks for the name, Delete asks first.
    void Add();
    void EditSelected();
    void RenameSelected();
    void RemoveSelected();
    void MoveSelected(int step);
    // Renames the selected server; false (after a box) when the name cannot be used.
    bool Rename(const QString& newName);

    QListWidget* m_list;
    QPushButton* m_addButton;
    QPushButton* m_editButton;
    QPushButton* m_renameButton;
    QPushButton* m_removeButton;
    QPushButton* m_upButton;
    QPushButton* m_downButton;

  private:
    void Fill(const QString& select);
    const ServerProfile* Selected() const;
    void ShowSelection();
    // The keyring's part of a saved change, its answer reported.
    void FollowInKeyring(const ServerProfile* before, const ServerProfile* after,
                         const QString& password);

    CSavedServers& servers;
    Report report;
};
