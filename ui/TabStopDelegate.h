#pragma once
// Draws an item's text with one tab stop: the part before the tab at the left, the part after
// it at the stop, so the player values line up in a column.

#include <QStyledItemDelegate>

class CTabStopDelegate : public QStyledItemDelegate {
  public:
    CTabStopDelegate(int tabStopPixels, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    int tabStop;
};
