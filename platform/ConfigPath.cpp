#include "platform/ConfigPath.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    // Started without a HOME (from a service manager, say): ask the user database.
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

// $<variable>/<name>, else <home>/<underHome>/<name>; empty when neither is known. A relative
// XDG variable is invalid and must be ignored.
std::string XdgPath(const char* variable, const char* underHome, const std::string& name) {
    const char* xdg = std::getenv(variable);
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/" + name;
    }
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/" + underHome + "/" + name;
}

} // namespace

std::string ConfigFilePath(const std::string& fileName) {
    const std::string path = XdgPath("XDG_CONFIG_HOME", ".config", fileName);
    // With no home at all the bare name is used, as the program always did.
    return path.empty() ? fileName : path;
}

std::string StateFilePath(const std::string& relativePath) {
    return XdgPath("XDG_STATE_HOME", ".local/state", relativePath);
}

std::string DataFilePath(const std::string& relativePath) {
    return XdgPath("XDG_DATA_HOME", ".local/share", relativePath);
}
