#pragma once
// The small preferences dialog reached from the log's context menu: the log's options and the
// watch word, in one place.

#include <QDialog>

#include "ui/LogOptions.h"

class QCheckBox;
class QLineEdit;

class CPreferencesDlg : public QDialog {
    Q_OBJECT
  public:
    CPreferencesDlg(const LogOptions& options, QWidget* parent);

    LogOptions Options() const;

    QCheckBox* m_showTimestamps;
    QCheckBox* m_keepLogFiles;
    QLineEdit* m_watchWord;
};
