#include "ui/TabStopDelegate.h"

#include <QApplication>
#include <QPainter>

CTabStopDelegate::CTabStopDelegate(int tabStopPixels, QObject* parent)
    : QStyledItemDelegate(parent), tabStop(tabStopPixels) {}

void CTabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear(); // the style draws the background and the selection, we draw the text
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Active
                                                                             : QPalette::Inactive;
    const QPalette::ColorRole role =
        (item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    const qsizetype tab = text.indexOf(u'\t');
    const int gap = item.fontMetrics.horizontalAdvance(u' ');

    painter->save();
    painter->setPen(item.palette.color(group, role));
    painter->setFont(item.font);
    const QString head = item.fontMetrics.elidedText(text.left(tab), Qt::ElideRight,
                                                     tab < 0 ? area.width() : tabStop - gap);
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, head);
    if (tab >= 0) {
        painter->drawText(area.adjusted(tabStop, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          text.mid(tab + 1));
    }
    painter->restore();
}
