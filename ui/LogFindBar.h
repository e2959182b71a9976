#pragma once
// The find bar over the status log: a search text, next and previous (both wrap round), match
// case, and every match highlighted. Escape and Enter stay in the bar: Escape closes the bar
// (never the window), Enter finds the next match (never presses the window's Send).

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class CLogFindBar : public QWidget {
    Q_OBJECT
  public:
    CLogFindBar(QPlainTextEdit* log, QWidget* parent);

    // Shows the bar with the search text selected, ready to type over.
    void Open();
    void Close();
    // Selects the next (or previous) match after the log's cursor; false when there is none.
    bool Find(bool backward);

    QLineEdit* m_text;
    QCheckBox* m_matchCase;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void HighlightAll();

    QPlainTextEdit* m_log;
};
