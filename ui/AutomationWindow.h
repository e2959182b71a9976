#pragma once
// The Automation window of a server page: every rule with its switch, what it does, when it last
// ran and runs next, and its hits; a switch for all, dry run, Reload and Open file. A file with
// errors shows its first one with line and column; the rules in force stay in force.

#include <QDialog>
#include <optional>
#include <string>

#include "core/automation/RulesFile.h"

class QCheckBox;
class QLabel;
class QTableWidget;
class CAutomation;

class CAutomationWindow : public QDialog {
    Q_OBJECT
  public:
    CAutomationWindow(CAutomation& automation, QWidget* owner);

    void Open();
    // The file a server's rules are kept in when none is loaded yet ("Open file" makes it).
    void SetDefaultPath(const std::string& path) { defaultPath = path; }
    void ShowLoadResult(const std::optional<RulesFileError>& error);
    // The rules' state, again; cheap while the window is hidden.
    void Refresh();

    QCheckBox* m_allOn;
    QCheckBox* m_dryRun;
    QLabel* m_status;
    QTableWidget* m_rules;

  signals:
    void reloadRequested();

  private:
    void OpenFile();
    std::string FilePath() const;

    CAutomation& automation;
    std::string defaultPath;
    bool filling = false; // the table is being filled: its changes are not the admin's
};
