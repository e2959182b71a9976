#pragma once
// The small preferences dialog reached from the log's context menu: the log's options and the
// watch word, in one place.

#include <QDialog>

#include "ui/LogOptions.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

class CPreferencesDlg : public QDialog {
    Q_OBJECT
  public:
    CPreferencesDlg(const LogOptions& options, QWidget* parent);

    LogOptions Options() const;
    // How long the player memory keeps chat lines; 0 for ever.
    void SetChatRetentionDays(int days);
    int ChatRetentionDays() const;

    QCheckBox* m_showTimestamps;
    QCheckBox* m_keepLogFiles;
    QLineEdit* m_watchWord;
    QSpinBox* m_chatRetention;
};
