#include "ui/PlayerTable.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>

#include "engine/PlayerList.h"
#include "engine/PrintableText.h"
#include "res/Strings.h"

namespace {

enum Column { NAME, ID, SCORE };

constexpr int ID_ROLE = Qt::UserRole;
constexpr int NAME_ROLE = Qt::UserRole + 1; // the raw name, as bytes

// Names are shown escaped, so a control character cannot break a row; Latin-1 maps each byte.
QString Shown(const std::string& name) {
    const std::string printable = Printable(name);
    return QString::fromLatin1(printable.data(), static_cast<qsizetype>(printable.size()));
}

} // namespace

int RosterPosition(const CPlayerList& roster, const PlayerKey& key) {
    int position = -1;
    int index = 0;
    roster.ForEach([&](const PlayerInfo& info) {
        if (position == -1 && info.id == key.id && key.name == info.name) {
            position = index;
        }
        ++index;
    });
    return position;
}

CPlayerTable::CPlayerTable(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels({QString::fromLatin1(strings::COLUMN_NAME),
                     QString::fromLatin1(strings::COLUMN_ID),
                     QString::fromLatin1(strings::COLUMN_SCORE)});
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
    header()->setSectionResizeMode(ID, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(SCORE, QHeaderView::ResizeToContents);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QHeaderView::sectionClicked, this, &CPlayerTable::OnHeaderClicked);
    connect(this, &QWidget::customContextMenuRequested, this, &CPlayerTable::ShowMenu);
}

void CPlayerTable::Redraw(const CPlayerList& roster) {
    rows.clear();
    rows.reserve(static_cast<std::size_t>(roster.GetCount()));
    roster.ForEach([this](const PlayerInfo& info) {
        rows.push_back(Row{PlayerKey{info.id, info.name}, info.value});
    });
    Fill();
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

void CPlayerTable::Fill() {
    const std::optional<PlayerKey> reselect = SelectedPlayer();
    const int scrolled = verticalScrollBar()->value();

    std::vector<const Row*> order;
    order.reserve(rows.size());
    for (const Row& row : rows) {
        order.push_back(&row);
    }
    // Stable, so equal keys keep the roster's order in both directions.
    const auto before = [this](const Row* a, const Row* b) {
        switch (sortColumn) {
        case NAME:
            return Shown(a->key.name).compare(Shown(b->key.name), Qt::CaseInsensitive) < 0;
        case ID:
            return a->key.id < b->key.id;
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

    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(order.size()));
    QTreeWidgetItem* selected = nullptr;
    for (const Row* row : order) {
        auto* item = new QTreeWidgetItem(
            {Shown(row->key.name), QString::number(row->key.id), QString::number(row->value)});
        item->setData(NAME, ID_ROLE, row->key.id);
        item->setData(NAME, NAME_ROLE, QByteArray::fromStdString(row->key.name));
        item->setTextAlignment(ID, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(SCORE, Qt::AlignRight | Qt::AlignVCenter);
        if (!selected && reselect && reselect->id == row->key.id &&
            reselect->name == row->key.name) {
            selected = item;
        }
        items.push_back(item);
    }
    addTopLevelItems(items);
    if (selected) {
        setCurrentItem(selected);
    }
    verticalScrollBar()->setValue(scrolled);
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
    QMenu menu(this);
    const QAction* kick = menu.addAction(QString::fromLatin1(strings::MENU_KICK));
    const QAction* ban = menu.addAction(QString::fromLatin1(strings::MENU_BAN));
    const QAction* copyName = menu.addAction(QString::fromLatin1(strings::MENU_COPY_NAME));
    const QAction* copyId = menu.addAction(QString::fromLatin1(strings::MENU_COPY_ID));
    const QAction* chosen = menu.exec(viewport()->mapToGlobal(position));
    if (chosen == kick) {
        emit kickRequested();
    } else if (chosen == ban) {
        emit banRequested();
    } else if (chosen == copyName) {
        QApplication::clipboard()->setText(name);
    } else if (chosen == copyId) {
        QApplication::clipboard()->setText(id);
    }
}
