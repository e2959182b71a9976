// The login fields in the settings file: read once when the window opens, written once when it
// closes, in the order the keys were first written. Beside it, the window's own preferences.
#include "ui/AdminDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <string>

#include "platform/ConfigPath.h"
#include "platform/PrivateProfile.h"
#include "res/Strings.h"
#include "ui/Preferences.h"

namespace {

constexpr char KEY_GEOMETRY[] = "Window/Geometry";

QString Read(const char* key, const std::string& path) {
    return QString::fromStdString(
        GetPrivateProfileString(strings::SETTINGS_SECTION, key, "", path));
}

// A failed write loses only this save; the file keeps its old values.
void Write(const char* key, const QString& value, const std::string& path) {
    WritePrivateProfileString(strings::SETTINGS_SECTION, key, value.toStdString(), path);
}

} // namespace

void CAdminDlg::LoadSettings() {
    const std::string path = ConfigFilePath(strings::SETTINGS_FILE);
    m_userEdit->setText(Read(strings::KEY_USERNAME, path));
    m_passwordEdit->setText(Read(strings::KEY_PASSWORD, path));
    m_savePassCheck->setChecked(Read(strings::KEY_SAVE_PASS, path) ==
                                QLatin1String(strings::VALUE_TRUE));
    m_hostEdit->setText(Read(strings::KEY_IP, path));
    m_portEdit->setText(Read(strings::KEY_PORT, path));
}

void CAdminDlg::SaveSettings() const {
    const std::string path = ConfigFilePath(strings::SETTINGS_FILE);
    Write(strings::KEY_USERNAME, m_userEdit->text(), path);
    if (m_savePassCheck->isChecked()) {
        Write(strings::KEY_SAVE_PASS, strings::VALUE_TRUE, path);
        Write(strings::KEY_PASSWORD, m_passwordEdit->text(), path);
    } else {
        Write(strings::KEY_SAVE_PASS, strings::VALUE_FALSE, path);
        Write(strings::KEY_PASSWORD, QString(), path);
    }
    Write(strings::KEY_IP, m_hostEdit->text(), path);
    Write(strings::KEY_PORT, m_portEdit->text(), path);
}

// The window's own preferences: its size and place, and the log's options. A file that cannot
// be read costs only these, with a line that says so.
void CAdminDlg::LoadPreferences() {
    const std::unique_ptr<QSettings> preferences = OpenPreferences();
    m_options = LoadLogOptions(*preferences);
    m_logFile.SetEnabled(m_options.keepLogFiles);
    restoreGeometry(preferences->value(QLatin1String(KEY_GEOMETRY)).toByteArray());
    if (preferences->status() != QSettings::NoError) {
        AppendLog(QString::fromUtf8(strings::PREFERENCES_UNREADABLE).arg(preferences->fileName()),
                  COLOUR_DARK_RED, true);
    }
}

void CAdminDlg::SavePreferences() const {
    const std::unique_ptr<QSettings> preferences = OpenPreferences();
    preferences->setValue(QLatin1String(KEY_GEOMETRY), saveGeometry());
    SaveLogOptions(*preferences, m_options);
}
