#pragma once
// The window's own preferences and state files, kept apart from vyr.ini (which holds exactly the
// five login fields): $XDG_CONFIG_HOME/vyr/vyr-admin.conf for options, $XDG_STATE_HOME/vyr/ for
// logs and histories. Folders are made 0700; what they hold may be private.

#include <QSettings>
#include <QString>
#include <memory>

// The preferences, in INI form. A missing or corrupt file reads as defaults.
std::unique_ptr<QSettings> OpenPreferences();

// $XDG_STATE_HOME/vyr (by default ~/.local/state/vyr), created 0700 when missing; empty when it
// cannot be made.
QString StateDirectory();

// Makes `path` and its missing parents as folders only the user can enter; true when it exists.
bool MakePrivateDirectory(const QString& path);
