#include "ui/LogOptions.h"

#include <QSettings>

namespace {

constexpr char KEY_SHOW_TIMESTAMPS[] = "Log/ShowTimestamps";
constexpr char KEY_KEEP_LOG_FILES[] = "Log/KeepLogFiles";
constexpr char KEY_WATCH_WORD[] = "Log/WatchWord";

bool ReadBool(const QSettings& preferences, const char* key, bool fallback) {
    const QString value = preferences.value(QLatin1String(key)).toString();
    if (value == QLatin1String("true")) {
        return true;
    }
    return value == QLatin1String("false") ? false : fallback;
}

} // namespace

LogOptions LoadLogOptions(const QSettings& preferences) {
    LogOptions options;
    options.showTimestamps = ReadBool(preferences, KEY_SHOW_TIMESTAMPS, options.showTimestamps);
    options.keepLogFiles = ReadBool(preferences, KEY_KEEP_LOG_FILES, options.keepLogFiles);
    const QVariant word = preferences.value(QLatin1String(KEY_WATCH_WORD));
    if (word.typeId() == QMetaType::QString) {
        options.watchWord = word.toString();
    }
    return options;
}

void SaveLogOptions(QSettings& preferences, const LogOptions& options) {
    preferences.setValue(QLatin1String(KEY_SHOW_TIMESTAMPS), options.showTimestamps);
    preferences.setValue(QLatin1String(KEY_KEEP_LOG_FILES), options.keepLogFiles);
    preferences.setValue(QLatin1String(KEY_WATCH_WORD), options.watchWord);
}
