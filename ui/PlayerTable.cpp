#include "ui/PlayerTable.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QToolTip>
#include <algorithm>

#include "engine/PlayerList.h"
#include "engine/PrintableText.h"
#include "res/Strings.h"
#include "ui/PlayerMemoryTexts.h"

namespace {

enum Column { NAME, ID, SCORE, SEEN };

constexpr int ID_ROLE = Qt::UserRole;
constexpr int NAME_ROLE = Qt::UserRole + 1; // the raw name, as bytes
constexpr int TIP_ROLE = Qt::UserRole + 2;  // the row's tooltip, shown by viewportEvent

// Watched players stand out as their joins do in the log.
const QColor WATCHED_COLOUR(RedOf(playertexts::COLOUR_WATCHED),
                            GreenOf(playertexts::COLOUR_WATCHED),
                            BlueOf(playertexts::COLOUR_WATCHED));

// Names are shown escaped, so a control character cannot break a row; Latin-1 maps each byte.
QString Shown(const std::string& name) {
    const std::string printable = Printable(name);
    return QString::fromLatin1(printable.data(), static_cast<qsizetype>(printable.size()));
}

} // namespace

CPlayerTable::CPlayerTable(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels(
        {QString::fromLatin1(strings::COLUMN_NAME), QString::fromLatin1(strings::COLUMN_ID),
         QString::fromLatin1(strings::COLUMN_SCORE), QString::fromUtf8(playertexts::COLUMN_SEEN)});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(NAME, QHeaderView::Stretch);
    // Fixed number columns: measuring the contents on every redraw would cost more than the
    // redraw itself on a busy server.
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("-000000"));
    for (const int column : {ID, SCORE}) {
        header()->setSectionResizeMode(column, QHeaderView::Fixed);
        header()->resizeSection(column, numberWidth);
    }
    watchedFont.setBold(true);
    header()->setSectionResizeMode(SEEN, QHeaderView::Interactive);
    header()->resizeSection(SEEN, fontMetrics().horizontalAdvance(QStringLiteral("000× 0000 h")));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QHeaderView::sectionClicked, this, &CPlayerTable::OnHeaderClicked);
    connect(this, &QWidget::customContextMenuRequested, this, &CPlayerTable::ShowMenu);
}

void CPlayerTable::Redraw(const CPlayerList& roster) {
    rows.clear();
    rows.reserve(static_cast<std::size_t>(roster.GetCount()));
    roster.ForEach([this](const PlayerInfo& info) {
        rows.push_back(Row{PlayerKey{info.id, info.name}, Shown(info.name), info.value, {}});
    });
    RefreshSeen();
}

void CPlayerTable::SetSeenSource(PlayerSeenSource source) {
    seenSource = std::move(source);
}

void CPlayerTable::RefreshSeen() {
    if (seenSource) {
        std::vector<std::string> names;
        names.reserve(rows.size());
        for (const Row& row : rows) {
            names.push_back(row.key.name);
        }
        std::vector<PlayerSeen> seen = seenSource(names);
        for (std::size_t i = 0; i < rows.size() && i < seen.size(); ++i) {
            rows[i].seen = std::move(seen[i]);
        }
    }
    Fill();
}

// The tooltip of the row under the pointer, made at the redraw: one value per row, not one per
// cell.
bool CPlayerTable::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QTreeWidgetItem* item = itemAt(help->pos());
        const QString tip = item ? item->data(NAME, TIP_ROLE).toString() : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

void CPlayerTable::RemoveAllPlayers() {
    rows.clear();
    clear();
}

std::optional<PlayerKey> CPlayerTable::SelectedPlayer() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return PlayerKey{static_cast<std::uint8_t>(selected[0]->data(NAME, ID_ROLE).toUInt()),
                     selected[0]->data(NAME, NAME_ROLE).toByteArray().toStdString()};
}

// Ascending, descending, then the roster's order again.
void CPlayerTable::OnHeaderClicked(int column) {
    if (column != sortColumn) {
        sortColumn = column;
        sortOrder = Qt::AscendingOrder;
    } else if (sortOrder == Qt::AscendingOrder) {
        sortOrder = Qt::DescendingOrder;
    } else {
        sortColumn = -1;
    }
    Fill();
}

// Rewrites the rows in place, so the view keeps its scroll position and nothing is laid out
// again that did not change.
void CPlayerTable::Fill() {
    const std::optional<PlayerKey> reselect = SelectedPlayer();

    std::vector<const Row*> order;
    order.reserve(rows.size());
    for (const Row& row : rows) {
        order.push_back(&row);
    }
    // Stable, so equal keys keep the roster's order in both directions.
    const auto before = [this](const Row* a, const Row* b) {
        switch (sortColumn) {
        case NAME:
            return a->shown.compare(b->shown, Qt::CaseInsensitive) < 0;
        case ID:
            return a->key.id < b->key.id;
        case SEEN:
            return a->seen.order < b->seen.order;
        default:
            return a->value < b->value;
        }
    };
    if (sortColumn != -1) {
        std::stable_sort(order.begin(), order.end(), [&](const Row* a, const Row* b) {
            return sortOrder == Qt::AscendingOrder ? before(a, b) : before(b, a);
        });
    }
    header()->setSortIndicatorShown(sortColumn != -1);
    header()->setSortIndicator(sortColumn, sortOrder);

    const int count = static_cast<int>(order.size());
    while (topLevelItemCount() > count) {
        delete takeTopLevelItem(topLevelItemCount() - 1);
    }
    QList<QTreeWidgetItem*> added;
    for (int i = topLevelItemCount(); i < count; ++i) {
        auto* item = new QTreeWidgetItem;
        item->setTextAlignment(ID, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(SCORE, Qt::AlignRight | Qt::AlignVCenter);
        added.push_back(item);
    }
    addTopLevelItems(added);

    QTreeWidgetItem* selected = nullptr;
    for (int i = 0; i < count; ++i) {
        const Row& row = *order[static_cast<std::size_t>(i)];
        QTreeWidgetItem* item = topLevelItem(i);
        item->setText(NAME, row.shown);
        item->setText(ID, QString::number(row.key.id));
        item->setText(SCORE, QString::number(row.value));
        item->setData(NAME, ID_ROLE, row.key.id);
        item->setData(NAME, NAME_ROLE, QByteArray::fromStdString(row.key.name));
        item->setText(SEEN, row.seen.text);
        item->setData(NAME, TIP_ROLE, row.seen.tip);
        item->setData(NAME, Qt::ForegroundRole,
                      row.seen.watched ? QVariant(QBrush(WATCHED_COLOUR)) : QVariant());
        item->setData(NAME, Qt::FontRole, row.seen.watched ? QVariant(watchedFont) : QVariant());
        if (!selected && reselect && reselect->id == row.key.id && reselect->name == row.key.name) {
            selected = item;
        }
    }
    if (selected) {
        setCurrentItem(selected);
    } else {
        clearSelection();
    }
}

void CPlayerTable::ShowMenu(const QPoint& position) {
    QTreeWidgetItem* item = itemAt(position);
    if (!item) {
        return;
    }
    setCurrentItem(item);
    // Ticks run while the menu is open and a redraw replaces the items: keep the texts.
    const QString name = item->text(NAME);
    const QString id = item->text(ID);
    const QByteArray rawName = item->data(NAME, NAME_ROLE).toByteArray();
    QMenu menu(this);
    const QAction* kick = menu.addAction(QString::fromLatin1(strings::MENU_KICK));
    const QAction* ban = menu.addAction(QString::fromLatin1(strings::MENU_BAN));
    const QAction* copyName = menu.addAction(QString::fromLatin1(strings::MENU_COPY_NAME));
    const QAction* copyId = menu.addAction(QString::fromLatin1(strings::MENU_COPY_ID));
    menu.addSeparator();
    const QAction* kickWithReason =
        menu.addAction(QString::fromUtf8(strings::MENU_KICK_WITH_REASON));
    const QAction* bans = menu.addAction(QString::fromUtf8(strings::MENU_BANS));
    const QAction* note = nullptr;
    const QAction* history = nullptr;
    if (seenSource) {
        menu.addSeparator();
        note = menu.addAction(QString::fromUtf8(playertexts::MENU_NOTE));
        history = menu.addAction(QString::fromUtf8(playertexts::MENU_HISTORY));
    }
    const QAction* chosen = menu.exec(viewport()->mapToGlobal(position));
    if (chosen == kick) {
        emit kickRequested();
    } else if (chosen == kickWithReason) {
        emit kickWithReasonRequested();
    } else if (chosen == ban) {
        emit banRequested();
    } else if (chosen == bans) {
        emit bansRequested();
    } else if (chosen == copyName) {
        QApplication::clipboard()->setText(name);
    } else if (chosen == copyId) {
        QApplication::clipboard()->setText(id);
    } else if (chosen && chosen == note) {
        emit noteRequested(rawName);
    } else if (chosen && chosen == history) {
        emit historyRequested(rawName);
    }
}
