#include "core/SavedLogin.h"

#include <sys/stat.h>

#include "platform/ConfigPath.h"
#include "platform/PrivateProfile.h"

namespace {

constexpr char FILE_NAME[] = "vyr.ini";
constexpr char SECTION[] = "Remote Admin";
constexpr char KEY_USERNAME[] = "Username";
constexpr char KEY_PASSWORD[] = "Password";
constexpr char KEY_SAVE_PASS[] = "SavePass";
constexpr char KEY_IP[] = "IP";
constexpr char KEY_PORT[] = "Port";
constexpr char VALUE_TRUE[] = "true";
constexpr char VALUE_FALSE[] = "false";

bool ReadableByOthers(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

} // namespace

std::string SavedLoginPath() {
    return ConfigFilePath(FILE_NAME);
}

LoadedLogin LoadSavedLogin(const std::string& path) {
    const auto read = [&path](const char* key) {
        return GetPrivateProfileString(SECTION, key, "", path);
    };
    LoadedLogin loaded;
    SavedLogin& login = loaded.login;
    login.user = read(KEY_USERNAME);
    login.password = read(KEY_PASSWORD);
    login.savePassword = read(KEY_SAVE_PASS) == VALUE_TRUE;
    login.host = read(KEY_IP);
    login.port = read(KEY_PORT);
    loaded.passwordExposed = !login.password.empty() && ReadableByOthers(path);
    struct stat info {};
    loaded.notAFile = ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
    return loaded;
}

bool SaveLogin(const std::string& path, const SavedLogin& login) {
    const auto write = [&path](const char* key, const std::string& value) {
        return WritePrivateProfileString(SECTION, key, value, path);
    };
    const bool storesPassword = login.savePassword && !login.password.empty();
    // A file without any write bit is read-only on purpose and is left alone; no file yet is
    // created 0600 anyway.
    struct stat info {};
    if (storesPassword && ::stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) != 0) {
        ::chmod(path.c_str(), S_IRUSR | S_IWUSR);
    }
    bool saved = write(KEY_USERNAME, login.user);
    saved = write(KEY_SAVE_PASS, login.savePassword ? VALUE_TRUE : VALUE_FALSE) && saved;
    saved = write(KEY_PASSWORD, login.savePassword ? login.password : std::string()) && saved;
    saved = write(KEY_IP, login.host) && saved;
    return write(KEY_PORT, login.port) && saved;
}

std::string NotAFileWarning(const std::string& path) {
    return path + " is not a regular file; it is not read";
}

std::string ExposedPasswordWarning(const std::string& path) {
    return "The saved password in " + path +
           " can be read by other users; make the file private: chmod 600 " + path;
}
