#include "ui/Preferences.h"

#include <QFile>
#include <sys/stat.h>

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
        // The tabs open at the last close, in order, by server name; "-" is the plain login's.
        {K::OpenTabs, "Window/Tabs", QString()},
        // The width of the player table's column (a wide window), in pixels; 0 for its own.
        {K::PlayerColumn, "Window/PlayerColumn", QString()},
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

// Something other than a regular file at the path (a FIFO, a folder, a device).
bool IsNoFile(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode);
}

// The file QSettings may use: made 0600 before QSettings first writes it (its later rewrites keep
// the mode). None when something else stands there: QSettings would open a FIFO and wait for a
// writer, and its rename would put a file in the FIFO's place.
QString UsableFile(const QString& path) {
    if (IsNoFile(path)) {
        return QString();
    }
    if (QFile file(path); !file.exists() && file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    return path;
}

} // namespace

CPreferences::CPreferences() : CPreferences(PreferencesPath()) {}

// Without a usable file the preferences are kept in memory for this run.
CPreferences::CPreferences(const QString& path)
    : path(path), notAFile(IsNoFile(path)), settings(UsableFile(path), QSettings::IniFormat) {}

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
