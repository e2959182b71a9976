#include "ui/PlayerColumn.h"

#include <QBoxLayout>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QSplitter>
#include <QWidget>
#include <algorithm>

CPlayerColumn::CPlayerColumn(QWidget* page, QSplitter* splitter, QWidget* column,
                             QBoxLayout* pageRows, QBoxLayout* topRow, QGroupBox* group,
                             QBoxLayout* groupRows, QBoxLayout* buttonRow)
    : QObject(page), page(page), splitter(splitter), column(column), pageRows(pageRows),
      topRow(topRow), group(group), groupRows(groupRows), buttonRow(buttonRow),
      heading(new QLabel(group)), groupMargins(groupRows->contentsMargins()),
      title(group->title()) {
    heading->hide();
    buttonRow->insertWidget(0, heading);
    column->hide();
    // A wider or narrower page widens or narrows the log; the column keeps its width.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    page->installEventFilter(this);
    connect(splitter, &QSplitter::splitterMoved, this, [this] {
        if (wide) {
            columnWidth = this->splitter->sizes().value(1);
            emit columnWidthChosen(columnWidth);
        }
    });
}

void CPlayerColumn::SetTitle(const QString& text) {
    title = text;
    if (wide) {
        heading->setText(text);
    } else {
        group->setTitle(text);
    }
}

void CPlayerColumn::SetColumnWidth(int width) {
    columnWidth = width;
    if (wide) {
        ApplyColumnWidth();
    }
}

bool CPlayerColumn::eventFilter(QObject* watched, QEvent* event) {
    if (watched == page && event->type() == QEvent::Resize) {
        Arrange();
    }
    return false;
}

// The switch waits until the log keeps at least its template width beside the column, so the
// page never gets narrower parts than its template has; the page's minimum width is the
// template's.
void CPlayerColumn::Arrange() {
    const int threshold =
        page->minimumWidth() + group->minimumSizeHint().width() + splitter->handleWidth();
    const bool wanted = page->minimumWidth() > 0 && page->width() >= threshold;
    if (wanted == wide) {
        return;
    }
    wide = wanted;
    groupRows->removeItem(buttonRow);
    if (wide) {
        column->layout()->addWidget(group);
        pageRows->setStretch(0, 0); // the extra height goes to the log alone
        group->setTitle(QString());
        group->setFlat(true);
        heading->setText(title);
        groupRows->insertLayout(0, buttonRow);
        groupRows->setContentsMargins(0, 0, 0, 0);
        column->show();
        ApplyColumnWidth();
    } else {
        topRow->insertWidget(1, group);
        pageRows->setStretch(0, 1);
        group->setTitle(title);
        group->setFlat(false);
        groupRows->addLayout(buttonRow);
        groupRows->setContentsMargins(groupMargins);
        column->hide();
    }
    heading->setVisible(wide);
    group->show();
}

// Runs while the page is being resized, before its layout gives the splitter its new width: the
// sizes are reckoned from the page's.
void CPlayerColumn::ApplyColumnWidth() {
    const int width = columnWidth > 0 ? columnWidth : group->sizeHint().width();
    const QMargins margins = page->layout()->contentsMargins();
    const int total = page->width() - margins.left() - margins.right();
    splitter->setSizes({std::max(0, total - width - splitter->handleWidth()), width});
}
