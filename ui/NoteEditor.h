#pragma once
// The note on one player, from the player table's menu: the note as the memory has it, to be
// changed and saved, or left. Saving is refused while the memory cannot take it (the reason
// stands in the window).

#include <QByteArray>
#include <QDialog>

#include "ui/PagePlayerMemory.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CNoteEditor : public QDialog {
    Q_OBJECT
  public:
    explicit CNoteEditor(QWidget* owner);

    // `name` as the server sent it, `shown` escaped; `problem`, when not empty, says why the
    // note cannot be saved now.
    void Open(const PageServer& server, const QByteArray& name, const QString& shown,
              const QString& note, const QString& problem);

    QLabel* m_problem;
    QPlainTextEdit* m_text;
    QPushButton* m_save;

  signals:
    void saved(const PageServer& server, const QByteArray& name, const QString& note);

  private:
    PageServer server;
    QByteArray name;
};
