#pragma once
#include <string>

// Where a bare settings file name lives: $XDG_CONFIG_HOME/<fileName>, else ~/.config/<fileName>.
std::string ConfigFilePath(const std::string& fileName);
