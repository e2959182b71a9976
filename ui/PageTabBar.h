#pragma once
// The tabs of the main window: a tab can be marked important, and is then drawn in bold until
// the mark is taken off (when the admin looks at it).

#include <QTabBar>
#include <QTabWidget>

class CPageTabBar : public QTabBar {
  public:
    explicit CPageTabBar(QWidget* parent);

    void SetImportant(int index, bool important);
    bool IsImportant(int index) const;

  protected:
    // Wide enough for the bold title.
    QSize tabSizeHint(int index) const override;
};

class CPageTabs : public QTabWidget {
  public:
    explicit CPageTabs(QWidget* parent);
    CPageTabBar* Bar() const { return bar; }

  private:
    CPageTabBar* bar;
};
