#pragma once
// The window's own preferences, kept apart from vyr.ini (which holds exactly the five login
// fields): $XDG_CONFIG_HOME/vyr/vyr-admin.conf, in INI form, 0600 in a 0700 folder. One typed
// object over one file, with every key and its default in one table; a value that is missing or
// not understood reads as its default. Something other than a regular file at the path is never
// opened: the preferences then live in memory for the run. Logs and histories live under
// $XDG_STATE_HOME/vyr/.

#include <QSettings>
#include <QString>
#include <QVariant>

class CPreferences {
  public:
    enum class Key {
        Geometry,
        Reconnect,
        ShowTimestamps,
        KeepLogFiles,
        WatchWord,
        OpenTabs,
        PlayerColumn,
        ChatRetentionDays, // the player memory's; vyr-cli reads it too
    };

    // The file of the current $XDG_CONFIG_HOME.
    CPreferences();
    // A file of one's own (tests, benchmarks).
    explicit CPreferences(const QString& path);

    bool Bool(Key key) const;
    // A whole number; the default when the file's value is none.
    int Int(Key key) const;
    QString Text(Key key) const;
    QByteArray Bytes(Key key) const;
    void Set(Key key, const QVariant& value);

    // The file could not be read, or is no regular file: the defaults are in use.
    bool Unreadable() const { return notAFile || settings.status() != QSettings::NoError; }
    QString FileName() const { return path; }

  private:
    QVariant Value(Key key) const;

    QString path;
    bool notAFile;
    QSettings settings;
};

// $XDG_STATE_HOME/vyr (by default ~/.local/state/vyr), created 0700 when missing; empty when it
// cannot be made.
QString StateDirectory();

// Makes `path` and its missing parents as folders only the user can enter; true when it exists.
bool MakePrivateDirectory(const QString& path);
