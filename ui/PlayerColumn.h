#pragma once
// The page's layout at any width. Up to the width at which the log can keep its template width
// beside a column of the player table's own, the page looks as its template does: the player
// table beside the connection group, above the log. From that width on, the table moves into
// that column at the right, at full height beside the log, so that a full server's players fit
// without scrolling; the splitter between log and column sets the column's width. In the column
// the group's title and its Kick and Ban buttons share one row above the table, which gives the
// table the height of a few more rows.

#include <QMargins>
#include <QObject>
#include <QString>

class QBoxLayout;
class QGroupBox;
class QLabel;
class QSplitter;
class QWidget;

class CPlayerColumn : public QObject {
    Q_OBJECT
  public:
    // `page` is watched for its width; `group` (the player table's group) moves between the
    // second place of `topRow` and `column`, the second pane of `splitter`; `pageRows` holds the
    // top row first. `groupRows` (the group's layout) holds the table, then `buttonRow`.
    CPlayerColumn(QWidget* page, QSplitter* splitter, QWidget* column, QBoxLayout* pageRows,
                  QBoxLayout* topRow, QGroupBox* group, QBoxLayout* groupRows,
                  QBoxLayout* buttonRow);

    bool Wide() const { return wide; }
    // The group's title ("Player Admin (12)"), wherever it stands.
    void SetTitle(const QString& text);
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
    QGroupBox* group;
    QBoxLayout* groupRows;
    QBoxLayout* buttonRow;
    QLabel* heading; // the title in the button row, in the column
    QMargins groupMargins;
    QString title;
    bool wide = false;
    int columnWidth = 0;
};
