#pragma once
// The page's layout at any width. Up to the width at which the log can keep its template width
// beside a column of the player table's own, the page looks as its template does: the player
// table beside the connection group, above the log. From that width on, the table moves into
// that column at the right, at full height beside the log, so that a full server's players fit
// without scrolling; the splitter between log and column sets the column's width.

#include <QObject>

class QBoxLayout;
class QSplitter;
class QWidget;

class CPlayerColumn : public QObject {
    Q_OBJECT
  public:
    // `page` is watched for its width; `group` (the player table's group) moves between the
    // second place of `topRow` and `column`, the second pane of `splitter`; `pageRows` holds the
    // top row first.
    CPlayerColumn(QWidget* page, QSplitter* splitter, QWidget* column, QBoxLayout* pageRows,
                  QBoxLayout* topRow, QWidget* group);

    bool Wide() const { return wide; }
    // The width the column takes whenever it opens (as the admin last dragged it); 0 or less
    // keeps the group's own width.
    void SetColumnWidth(int width);
    int ColumnWidth() const { return columnWidth; }

  signals:
    // The admin dragged the splitter: the column's new width.
    void columnWidthChosen(int width);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Arrange();
    void ApplyColumnWidth();

    QWidget* page;
    QSplitter* splitter;
    QWidget* column;
    QBoxLayout* pageRows;
    QBoxLayout* topRow;
    QWidget* group;
    bool wide = false;
    int columnWidth = 0;
};
