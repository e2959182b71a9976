#pragma once
#include <string>

// Where a bare settings file name lives: $XDG_CONFIG_HOME/<fileName>, else ~/.config/<fileName>.
std::string ConfigFilePath(const std::string& fileName);

// Where state kept across runs (histories, logs) lives: $XDG_STATE_HOME/<relativePath>, else
// ~/.local/state/<relativePath>; empty when there is no home directory at all.
std::string StateFilePath(const std::string& relativePath);

// Where data the user keeps (the player memory) lives: $XDG_DATA_HOME/<relativePath>, else
// ~/.local/share/<relativePath>; empty when there is no home directory at all.
std::string DataFilePath(const std::string& relativePath);
