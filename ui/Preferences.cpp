#include "ui/Preferences.h"

#include <QFile>

#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"

bool MakePrivateDirectory(const QString& path) {
    return MakePrivateDirectories(QFile::encodeName(path).toStdString());
}

std::unique_ptr<QSettings> OpenPreferences() {
    const QString dir = QFile::decodeName(ConfigFilePath("vyr").c_str());
    MakePrivateDirectory(dir);
    // Made 0600 before QSettings first writes it; its later rewrites keep the mode.
    const QString path = dir + "/vyr-admin.conf";
    if (QFile file(path); !file.exists() && file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString StateDirectory() {
    const QString dir = QFile::decodeName(StateFilePath("vyr").c_str());
    return !dir.isEmpty() && MakePrivateDirectory(dir) ? dir : QString();
}
