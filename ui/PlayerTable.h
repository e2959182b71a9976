#pragma once
// The player table: Name, Id and Score of every player in the roster, and what the player memory
// says of them (Seen, a tooltip, watched players marked). A click on a header sorts by that
// column, the next one reverses the order, the third returns to the roster's own order. Rows
// carry the player's id and name, never a roster position: the roster keeps changing between two
// redraws, so a position read from a row could name another player.

#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/PlayerLookup.h"

class CPlayerList;

// What the player memory says of one player, for the table.
struct PlayerSeen {
    QString text;            // the Seen column
    QString tip;             // the row's tooltip, rich text with everything escaped
    bool watched = false;    // marked in the table
    std::int64_t order = -1; // the Seen column's sort key; -1: unknown
};
// The memory's answers for `names` (server bytes), one each, in order.
using PlayerSeenSource = std::function<std::vector<PlayerSeen>(const std::vector<std::string>&)>;

class CPlayerTable : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CPlayerTable(QWidget* parent = nullptr);

    // Redraws the rows from one walk of `roster`, in the chosen order. The selected player (same
    // id and name) stays selected and the view stays where it was scrolled.
    void Redraw(const CPlayerList& roster);
    void RemoveAllPlayers();
    std::optional<PlayerKey> SelectedPlayer() const;

    // The player memory's part: asked at every redraw, and again by RefreshSeen. Without one
    // the Seen column stays empty and the menu has no Note and History.
    void SetSeenSource(PlayerSeenSource source);
    void RefreshSeen();

  signals:
    // Kick or Ban chosen on a row's menu; that row is the selected one.
    void kickRequested();
    void banRequested();
    void kickWithReasonRequested();
    void bansRequested(); // the Bans window
    // Note or History chosen on a row's menu, for the player of that name (server bytes).
    void noteRequested(const QByteArray& name);
    void historyRequested(const QByteArray& name);

  protected:
    bool viewportEvent(QEvent* event) override;

  private:
    struct Row {
        PlayerKey key;
        QString shown; // the name as the table shows it
        std::int16_t value = 0;
        PlayerSeen seen;
    };

    void OnHeaderClicked(int column);
    void ShowMenu(const QPoint& position);
    void Fill();

    std::vector<Row> rows; // in roster order, as the last redraw found them
    int sortColumn = -1;   // -1: the roster's order
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    PlayerSeenSource seenSource;
    QFont watchedFont = font();
};
