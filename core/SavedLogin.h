#pragma once
// vyr.ini: the window's five login fields, in the section "Remote Admin", read when the window
// opens and written when it closes; vyr-cli reads it for its defaults. The file holds exactly
// these keys, and their meaning stays what older versions wrote.

#include <string>

struct SavedLogin {
    std::string user;
    std::string password;
    bool savePassword = false; // "SavePass" is exactly "true"
    std::string host;
    std::string port; // as text, as the field holds it
};

struct LoadedLogin {
    SavedLogin login;
    // A password stands in a file that other users can read: warn, as ssh does of a key.
    bool passwordExposed = false;
    // Something stands at the path that is no regular file (a FIFO, a folder): not read.
    bool notAFile = false;
};

// $XDG_CONFIG_HOME/vyr.ini, else ~/.config/vyr.ini.
std::string SavedLoginPath();

// A missing or unreadable file, section or key reads as empty.
LoadedLogin LoadSavedLogin(const std::string& path);

// Writes every key, in the order older versions first wrote them; the password only when it is to
// be saved (else an empty value). A file about to hold a password is made 0600 first, whatever
// its mode was. False when a key could not be written; the file keeps what it had for that key.
bool SaveLogin(const std::string& path, const SavedLogin& login);

// The warning for a password read from a file others can read.
std::string ExposedPasswordWarning(const std::string& path);
// The warning for a path where something other than a file stands.
std::string NotAFileWarning(const std::string& path);
