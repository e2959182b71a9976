#include "ui/PageTabBar.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabWidget>

namespace {

// The application's style, but the title of an important tab is drawn with a bold font, and
// tabs without a frame (document mode) keep no room for one: one tab, its bar hidden, is exactly
// its page.
class CPageTabsStyle : public QProxyStyle {
  public:
    CPageTabsStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* tabs = qobject_cast<const QTabWidget*>(widget);
        if (type == CT_TabWidget && tabs && tabs->documentMode()) {
            return size;
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* bar = dynamic_cast<const CPageTabBar*>(widget);
        if (element != CE_TabBarTabLabel || !bar ||
            !bar->IsImportant(bar->tabAt(option->rect.center()))) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        QFont bold = painter->font();
        bold.setBold(true);
        painter->setFont(bold);
        QProxyStyle::drawControl(element, option, painter, widget);
        painter->restore();
    }
};

} // namespace

CPageTabBar::CPageTabBar(QWidget* parent) : QTabBar(parent) {}

void CPageTabBar::SetImportant(int index, bool important) {
    if (index < 0 || index >= count() || IsImportant(index) == important) {
        return;
    }
    setTabData(index, important);
    setTabText(index, tabText(index)); // lays the tabs out again, for the wider title
}

bool CPageTabBar::IsImportant(int index) const {
    return index >= 0 && index < count() && tabData(index).toBool();
}

QSize CPageTabBar::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    if (IsImportant(index)) {
        QFont bold = font();
        bold.setBold(true);
        const QString text = tabText(index);
        size.rwidth() +=
            QFontMetrics(bold).horizontalAdvance(text) - fontMetrics().horizontalAdvance(text);
    }
    return size;
}

CPageTabs::CPageTabs(QWidget* parent) : QTabWidget(parent), bar(new CPageTabBar(this)) {
    auto* style = new CPageTabsStyle;
    style->setParent(this);
    setStyle(style);
    bar->setStyle(style);
    setTabBar(bar);
    setDocumentMode(true); // no frame round the page
}
