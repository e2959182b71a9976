#include "ui/Preferences.h"

#include <QFile>

#include "core/players/RetentionSetting.h"
#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"
#include "ui/LogOptions.h"

namespace {

struct Entry {
    CPreferences::Key key;
    const char* name;
    QVariant fallback;
};

// Every preference: its key in the file and its default.
const Entry& EntryOf(CPreferences::Key key) {
    using K = CPreferences::Key;
    static const Entry table[] = {
        {K::Geometry, "Window/Geometry", QByteArray()},
        {K::Reconnect, "reconnect", true},
        {K::ShowTimestamps, "Log/ShowTimestamps", LogOptions().showTimestamps},
        {K::KeepLogFiles, "Log/KeepLogFiles", LogOptions().keepLogFiles},
        {K::WatchWord, "Log/WatchWord", LogOptions().watchWord},
        {K::ChatRetentionDays, CHAT_RETENTION_KEY, DEFAULT_CHAT_RETENTION_DAYS},
    };
    for (const Entry& entry : table) {
        if (entry.key == key) {
            return entry;
        }
    }
    return table[0];
}

QString PreferencesPath() {
    const QString dir = QFile::decodeName(ConfigFilePath("vyr").c_str());
    MakePrivateDirectory(dir);
    return dir + "/vyr-admin.conf";
}

// Made 0600 before QSettings first writes it; its later rewrites keep the mode.
QString PrivateFile(const QString& path) {
    if (QFile file(path); !file.exists() && file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    return path;
}

} // namespace

CPreferences::CPreferences() : CPreferences(PreferencesPath()) {}

CPreferences::CPreferences(const QString& path)
    : settings(PrivateFile(path), QSettings::IniFormat) {}

QVariant CPreferences::Value(Key key) const {
    const Entry& entry = EntryOf(key);
    const QVariant value = settings.value(QLatin1String(entry.name));
    return value.isValid() ? value : entry.fallback;
}

bool CPreferences::Bool(Key key) const {
    const QString value = Value(key).toString();
    if (value == QLatin1String("true")) {
        return true;
    }
    return value == QLatin1String("false") ? false : EntryOf(key).fallback.toBool();
}

int CPreferences::Int(Key key) const {
    bool number = false;
    const int value = Value(key).toInt(&number);
    return number ? value : EntryOf(key).fallback.toInt();
}

QString CPreferences::Text(Key key) const {
    const QVariant value = Value(key);
    return value.typeId() == QMetaType::QString ? value.toString()
                                                : EntryOf(key).fallback.toString();
}

QByteArray CPreferences::Bytes(Key key) const {
    return Value(key).toByteArray();
}

void CPreferences::Set(Key key, const QVariant& value) {
    settings.setValue(QLatin1String(EntryOf(key).name), value);
}

bool MakePrivateDirectory(const QString& path) {
    return MakePrivateDirectories(QFile::encodeName(path).toStdString());
}

QString StateDirectory() {
    const QString dir = QFile::decodeName(StateFilePath("vyr").c_str());
    return !dir.isEmpty() && MakePrivateDirectory(dir) ? dir : QString();
}
