#include "ui/PreferencesDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

#include "core/players/RetentionSetting.h"
#include "res/Strings.h"
#include "ui/PlayerMemoryTexts.h"

CPreferencesDlg::CPreferencesDlg(const LogOptions& options, QWidget* parent)
    : QDialog(parent),
      m_showTimestamps(new QCheckBox(QString::fromUtf8(strings::MENU_SHOW_TIMESTAMPS), this)),
      m_keepLogFiles(new QCheckBox(QString::fromUtf8(strings::MENU_KEEP_LOG_FILES), this)),
      m_watchWord(new QLineEdit(options.watchWord, this)), m_chatRetention(new QSpinBox(this)) {
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
    m_chatRetention->setRange(0, MAX_CHAT_RETENTION_DAYS);
    m_chatRetention->setSuffix(QString::fromUtf8(playertexts::RETENTION_SUFFIX));
    m_chatRetention->setSpecialValueText(QString::fromUtf8(playertexts::RETENTION_FOREVER));
    m_chatRetention->setValue(DEFAULT_CHAT_RETENTION_DAYS);
    layout->addRow(QString::fromUtf8(playertexts::RETENTION_LABEL), m_chatRetention);
    layout->addRow(buttons);
}

LogOptions CPreferencesDlg::Options() const {
    LogOptions options;
    options.showTimestamps = m_showTimestamps->isChecked();
    options.keepLogFiles = m_keepLogFiles->isChecked();
    options.watchWord = m_watchWord->text();
    return options;
}

void CPreferencesDlg::SetChatRetentionDays(int days) {
    m_chatRetention->setValue(days);
}

int CPreferencesDlg::ChatRetentionDays() const {
    return m_chatRetention->value();
}
