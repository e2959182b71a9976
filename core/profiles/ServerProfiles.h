#pragma once
// The saved servers: $XDG_CONFIG_HOME/vyr/servers.toml (private, 0600), read whole and replaced
// whole. What the "Servers..." dialog does (add, edit, rename, delete, reorder) changes the list
// in memory; Save() writes it. A file that could not be read is never overwritten, and neither
// is one that changed on disk since it was read: the user's text is not lost either way.
//
// Every call that can fail answers with what is wrong (one line, for a message box or stderr),
// or an empty string when it worked.

#include <optional>
#include <string>
#include <vector>

#include "core/profiles/ServerProfile.h"

// Where the profiles live.
std::string ServerProfilesPath();

class CServerProfiles {
  public:
    explicit CServerProfiles(std::string path = ServerProfilesPath());

    // Reads the file; no file is no servers. On a problem (it names the file, line and column)
    // the list is empty and Save() refuses until a Load() succeeds.
    std::string Load();
    std::string Save();

    const std::string& Path() const { return path; }
    const std::vector<ServerProfile>& List() const { return profiles; }
    const ServerProfile* Find(const std::string& name) const;

    std::string Add(const ServerProfile& profile); // at the end
    // Replaces the profile called `name`; `changed` may carry a new name (a rename).
    std::string Edit(const std::string& name, const ServerProfile& changed);
    std::string Rename(const std::string& name, const std::string& newName);
    std::string Remove(const std::string& name);
    // One place up or down; at the top or bottom already, nothing changes.
    std::string MoveUp(const std::string& name);
    std::string MoveDown(const std::string& name);

  private:
    std::vector<ServerProfile>::iterator Locate(const std::string& name);
    std::string Unusable(const ServerProfile& profile, const std::string& replacing) const;
    std::string Move(const std::string& name, int step);

    std::string path;
    std::vector<ServerProfile> profiles;
    // What the file held when it was last read or written: nothing (no file), or its bytes.
    std::optional<std::string> onDisk;
    std::string loadProblem; // why the last Load() failed
};
