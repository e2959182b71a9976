#pragma once
// A small tool window beside the admin window with the entries of the server's latest list
// text. Each new list replaces the old one whole.

#include <QWidget>
#include <string>
#include <vector>

class QListWidget;

class CServerListWindow : public QWidget {
  public:
    explicit CServerListWindow(QWidget* owner);

    // Shows `entries` in place of the previous list; opens the window beside its owner.
    void ShowEntries(const std::vector<std::string>& entries);

    QListWidget* list;
};
