#include "ui/PreferencesDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "res/Strings.h"

CPreferencesDlg::CPreferencesDlg(const LogOptions& options, QWidget* parent)
    : QDialog(parent),
      m_showTimestamps(new QCheckBox(QString::fromUtf8(strings::MENU_SHOW_TIMESTAMPS), this)),
      m_keepLogFiles(new QCheckBox(QString::fromUtf8(strings::MENU_KEEP_LOG_FILES), this)),
      m_watchWord(new QLineEdit(options.watchWord, this)) {
    setWindowTitle(QString::fromUtf8(strings::PREFERENCES_CAPTION));
    m_showTimestamps->setChecked(options.showTimestamps);
    m_keepLogFiles->setChecked(options.keepLogFiles);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(m_showTimestamps);
    layout->addRow(m_keepLogFiles);
    layout->addRow(QString::fromUtf8(strings::WATCH_WORD_LABEL), m_watchWord);
    layout->addRow(buttons);
}

LogOptions CPreferencesDlg::Options() const {
    LogOptions options;
    options.showTimestamps = m_showTimestamps->isChecked();
    options.keepLogFiles = m_keepLogFiles->isChecked();
    options.watchWord = m_watchWord->text();
    return options;
}
