#include "ui/LogOptions.h"

#include "ui/Preferences.h"

LogOptions LoadLogOptions(const CPreferences& preferences) {
    using Key = CPreferences::Key;
    return {preferences.Bool(Key::ShowTimestamps), preferences.Bool(Key::KeepLogFiles),
            preferences.Text(Key::WatchWord)};
}

void SaveLogOptions(CPreferences& preferences, const LogOptions& options) {
    using Key = CPreferences::Key;
    preferences.Set(Key::ShowTimestamps, options.showTimestamps);
    preferences.Set(Key::KeepLogFiles, options.keepLogFiles);
    preferences.Set(Key::WatchWord, options.watchWord);
}
