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

} // namespace

std::string ConfigFilePath(const std::string& fileName) {
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/" + fileName;
    }
    const std::string home = HomeDirectory();
    // With no home at all the bare name is used, as the program always did.
    return home.empty() ? fileName : home + "/.config/" + fileName;
}
