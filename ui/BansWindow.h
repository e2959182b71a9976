#pragma once
// The Bans window of a server page: the server's ban list joined with the bans recorded here
// (address, name, reason, banned at, by, expires), a filter, Refresh, "Lift ban" on the
// selected rows after a question naming them, and Export to CSV. Addresses that are no IPv4
// address are shown escaped, and only lifted when the admin selects them.

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "core/bans/BanRows.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CBansWindow : public QDialog {
    Q_OBJECT
  public:
    explicit CBansWindow(QWidget* owner);

    void Open();
    // Shows `rows` in place of the ones before; the selection stays where it can.
    void ShowRows(const std::vector<BanRow>& rows, bool listCame, const QString& problem);
    // The selected rows' list entries, in order (never a row with no address).
    std::vector<std::string> SelectedEntries() const;
    // Asks (naming them) and, on Yes, asks the page to lift the selected bans.
    void LiftSelected();
    // Writes the rows as CSV; empty, or why not.
    QString ExportTo(const QString& path) const;

    QLineEdit* m_filter;
    QTreeWidget* m_table;
    QLabel* m_status;
    QPushButton* m_lift;

  signals:
    void refreshRequested();
    void liftRequested(const std::vector<std::string>& entries);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyFilter();
    void ChooseExportFile();

    std::vector<BanRow> rows;
};
