// The status log's context menu and what it reaches: find, clear, the options, the log files,
// the preferences dialog and the About box; and the watch for chat lines that ask for attention.
#include "ui/AdminDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QPlainTextEdit>
#include <QUrl>

#include "platform/MessageBox.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/LogExport.h"
#include "ui/LogFindBar.h"
#include "ui/Preferences.h"
#include "ui/PreferencesDlg.h"
#include "ui/WireText.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

void CAdminDlg::ShowLogMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu(m_log->createStandardContextMenu(at));
    menu->addSeparator();
    menu->addAction(Text(strings::MENU_FIND), m_findBar, &CLogFindBar::Open);
    menu->addAction(Text(strings::MENU_CLEAR_LOG), this, &CAdminDlg::ClearLog);
    menu->addSeparator();
    QAction* timestamps = menu->addAction(Text(strings::MENU_SHOW_TIMESTAMPS));
    timestamps->setCheckable(true);
    timestamps->setChecked(m_options.showTimestamps);
    connect(timestamps, &QAction::toggled, this, [this](bool on) {
        LogOptions options = m_options;
        options.showTimestamps = on;
        SetLogOptions(options);
    });
    QAction* keep = menu->addAction(Text(strings::MENU_KEEP_LOG_FILES));
    keep->setCheckable(true);
    keep->setChecked(m_options.keepLogFiles);
    connect(keep, &QAction::toggled, this, [this](bool on) {
        LogOptions options = m_options;
        options.keepLogFiles = on;
        SetLogOptions(options);
    });
    menu->addAction(Text(strings::MENU_OPEN_LOG_FOLDER), this, &CAdminDlg::OpenLogFolder);
    menu->addAction(Text(strings::MENU_SAVE_LOG_AS), this, &CAdminDlg::SaveLogAs);
    menu->addSeparator();
    menu->addAction(Text(strings::MENU_PREFERENCES), this, [this] {
        CPreferencesDlg preferences(m_options, this);
        if (preferences.exec() == QDialog::Accepted) {
            SetLogOptions(preferences.Options());
        }
    });
    menu->addAction(QString::fromLatin1(strings::ABOUT_MENU), this,
                    [this] { OnSysCommand(IDM_ABOUTBOX); });
    menu->exec(m_log->viewport()->mapToGlobal(at));
}

void CAdminDlg::SetLogOptions(const LogOptions& options) {
    if (options.showTimestamps != m_options.showTimestamps) {
        ShowTimestamps(options.showTimestamps);
    }
    m_logFile.SetEnabled(options.keepLogFiles);
    m_options = options;
    SavePreferences();
}

void CAdminDlg::SaveLogAs() {
    const QString path = QFileDialog::getSaveFileName(this, Text(strings::MENU_SAVE_LOG_AS),
                                                      QString(), Text(strings::SAVE_LOG_FILTERS));
    if (path.isEmpty()) {
        return;
    }
    if (const QString failure = SaveLog(*m_log->document(), path); !failure.isEmpty()) {
        AfxMessageBox(Text(strings::SAVE_LOG_FAILED).arg(path, failure).toStdString());
    }
}

void CAdminDlg::OpenLogFolder() {
    const QString folder = m_logFile.Folder();
    if (!folder.isEmpty() && MakePrivateDirectory(folder)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
}

void CAdminDlg::OnChat(const std::string& message) {
    if (!m_options.watchWord.isEmpty() &&
        FromWire(message).contains(m_options.watchWord, Qt::CaseInsensitive)) {
        AskForAttention();
    }
}

// Only a window the admin is not looking at asks; the desktop marks it in the taskbar.
void CAdminDlg::AskForAttention() {
    if (!isActiveWindow()) {
        ++m_attentionRequests;
        QApplication::alert(this);
    }
}
