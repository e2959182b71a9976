#pragma once
// A small tool window beside the admin window with the entries of the server's latest list
// text. Each new list replaces the old one whole. The client does not know what a server lists,
// so an entry can only be read and copied.

#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QListWidget;

class CServerListWindow : public QWidget {
  public:
    explicit CServerListWindow(QWidget* owner);

    // Shows `entries` in place of the previous list; opens the window beside its owner.
    void ShowEntries(const std::vector<std::string>& entries);
    // Puts the selected entries, as shown and one a line, on the clipboard.
    void CopySelected() const;

    QLabel* heading;
    QListWidget* list;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
