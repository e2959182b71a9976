#pragma once
// The player table: Name, Id and Score of every player in the roster. A click on a header sorts
// by that column, the next one reverses the order, the third returns to the roster's own order.
// Rows carry the player's id and name, never a roster position: the roster keeps changing
// between two redraws, so a position read from a row could name another player.

#include <QTreeWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/PlayerLookup.h"

class CPlayerList;

class CPlayerTable : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CPlayerTable(QWidget* parent = nullptr);

    // Redraws the rows from one walk of `roster`, in the chosen order. The selected player (same
    // id and name) stays selected and the view stays where it was scrolled.
    void Redraw(const CPlayerList& roster);
    void RemoveAllPlayers();
    std::optional<PlayerKey> SelectedPlayer() const;

  signals:
    // Kick or Ban chosen on a row's menu; that row is the selected one.
    void kickRequested();
    void banRequested();
    void kickWithReasonRequested();
    void bansRequested(); // the Bans window

  private:
    struct Row {
        PlayerKey key;
        QString shown; // the name as the table shows it
        std::int16_t value = 0;
    };

    void OnHeaderClicked(int column);
    void ShowMenu(const QPoint& position);
    void Fill();

    std::vector<Row> rows; // in roster order, as the last redraw found them
    int sortColumn = -1;   // -1: the roster's order
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};
