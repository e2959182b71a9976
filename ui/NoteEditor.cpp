#include "ui/NoteEditor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/PlayerMemoryTexts.h"

CNoteEditor::CNoteEditor(QWidget* owner)
    : QDialog(owner), m_problem(new QLabel(this)), m_text(new QPlainTextEdit(this)) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    m_save = buttons->button(QDialogButtonBox::Save);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #660000"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    resize(420, 220);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        emit saved(server, name, m_text->toPlainText());
        accept();
    });
}

void CNoteEditor::Open(const PageServer& where, const QByteArray& player, const QString& shown,
                       const QString& note, const QString& problem) {
    server = where;
    name = player;
    setWindowTitle(QString::fromUtf8(playertexts::NOTE_CAPTION).arg(shown));
    m_text->setPlainText(note);
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_save->setEnabled(problem.isEmpty());
    show();
    raise();
    activateWindow();
    m_text->setFocus();
}
