#include "ui/Preferences.h"

#include <QDir>
#include <QFileInfo>

namespace {

// An XDG variable counts only when it holds an absolute path.
QString XdgHome(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith(QLatin1Char('/'))) {
        return value;
    }
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}

} // namespace

bool MakePrivateDirectory(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !MakePrivateDirectory(parent)) {
        return false;
    }
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::unique_ptr<QSettings> OpenPreferences() {
    const QString dir = XdgHome("XDG_CONFIG_HOME", QStringLiteral(".config")) + "/vyr";
    MakePrivateDirectory(dir);
    // Made 0600 before QSettings first writes it; its later rewrites keep the mode.
    const QString path = dir + "/vyr-admin.conf";
    if (QFile file(path); !file.exists() && file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString StateDirectory() {
    const QString dir = XdgHome("XDG_STATE_HOME", QStringLiteral(".local/state")) + "/vyr";
    return MakePrivateDirectory(dir) ? dir : QString();
}
