#include "core/profiles/ServerProfiles.h"

#include <algorithm>
#include <sys/stat.h>

#include "core/profiles/ProfilesToml.h"
#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"

namespace {

// Far more than any list of servers a person keeps; a bigger file is not a profiles file.
constexpr std::size_t MAX_FILE_BYTES = 1024 * 1024;

} // namespace

std::string ServerProfilesPath() {
    return ConfigFilePath("vyr/servers.toml");
}

CServerProfiles::CServerProfiles(std::string path) : path(std::move(path)) {}

std::string CServerProfiles::Load() {
    profiles.clear();
    onDisk.reset();
    loadProblem.clear();
    const FileBytes file = ReadWholeFile(path, MAX_FILE_BYTES);
    if (file.status == FileReadStatus::Missing) {
        return {};
    }
    if (file.status == FileReadStatus::Unusable) {
        loadProblem = path + " cannot be read: it is not a regular file, not readable, or larger "
                             "than 1 MiB";
        return loadProblem;
    }
    ProfilesText text = ParseProfiles(file.bytes);
    if (!text.problem.empty()) {
        loadProblem = path + ", " + text.problem;
        return loadProblem;
    }
    profiles = std::move(text.profiles);
    onDisk = file.bytes;
    return {};
}

std::string CServerProfiles::Save() {
    const std::string notSaved = "The servers were not saved: ";
    if (!loadProblem.empty()) {
        return notSaved + "the file there could not be read and would be lost (" + loadProblem +
               "). Fix or move it, then open the list again.";
    }
    const FileBytes now = ReadWholeFile(path, MAX_FILE_BYTES);
    const bool unchanged = now.status == FileReadStatus::Missing
                               ? !onDisk.has_value()
                               : now.status == FileReadStatus::Ok && onDisk == now.bytes;
    if (!unchanged) {
        return notSaved + path +
               " changed since it was read, and saving would lose that change. Open the list "
               "again.";
    }
    // A file someone made readable to others becomes private; a read-only one stays as it is
    // and is refused below.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & 0077) != 0 &&
        (info.st_mode & 0200) != 0 && ::chmod(path.c_str(), 0600) != 0) {
        return notSaved + path + " could not be made private (mode 0600).";
    }
    const std::string bytes = FormatProfiles(profiles);
    if (!ReplaceWholeFile(path, bytes)) {
        return notSaved + path +
               " could not be written (read-only, no permission, or the disk is full); the file "
               "is unchanged.";
    }
    onDisk = bytes;
    return {};
}

const ServerProfile* CServerProfiles::Find(const std::string& name) const {
    const auto found = std::find_if(profiles.begin(), profiles.end(),
                                    [&](const ServerProfile& p) { return p.name == name; });
    return found == profiles.end() ? nullptr : &*found;
}

std::vector<ServerProfile>::iterator CServerProfiles::Locate(const std::string& name) {
    return std::find_if(profiles.begin(), profiles.end(),
                        [&](const ServerProfile& p) { return p.name == name; });
}

// Why `profile` cannot join the list in place of the one called `replacing` (empty: none).
std::string CServerProfiles::Unusable(const ServerProfile& profile,
                                      const std::string& replacing) const {
    std::string problem = ProfileProblem(profile);
    if (problem.empty() && profile.name != replacing && Find(profile.name) != nullptr) {
        problem = "a server named \"" + profile.name + "\" already exists";
    }
    return problem;
}

std::string CServerProfiles::Add(const ServerProfile& profile) {
    std::string problem = Unusable(profile, {});
    if (problem.empty()) {
        profiles.push_back(profile);
    }
    return problem;
}

std::string CServerProfiles::Edit(const std::string& name, const ServerProfile& changed) {
    const auto at = Locate(name);
    if (at == profiles.end()) {
        return "there is no server named \"" + name + "\"";
    }
    std::string problem = Unusable(changed, name);
    if (problem.empty()) {
        *at = changed;
    }
    return problem;
}

std::string CServerProfiles::Rename(const std::string& name, const std::string& newName) {
    const ServerProfile* profile = Find(name);
    if (profile == nullptr) {
        return "there is no server named \"" + name + "\"";
    }
    ServerProfile renamed = *profile;
    renamed.name = newName;
    return Edit(name, renamed);
}

std::string CServerProfiles::Remove(const std::string& name) {
    const auto at = Locate(name);
    if (at == profiles.end()) {
        return "there is no server named \"" + name + "\"";
    }
    profiles.erase(at);
    return {};
}

std::string CServerProfiles::Move(const std::string& name, int step) {
    const auto at = Locate(name);
    if (at == profiles.end()) {
        return "there is no server named \"" + name + "\"";
    }
    const std::ptrdiff_t other = (at - profiles.begin()) + step;
    if (other >= 0 && other < static_cast<std::ptrdiff_t>(profiles.size())) {
        std::swap(*at, profiles[static_cast<std::size_t>(other)]);
    }
    return {};
}

std::string CServerProfiles::MoveUp(const std::string& name) {
    return Move(name, -1);
}

std::string CServerProfiles::MoveDown(const std::string& name) {
    return Move(name, +1);
}
