#pragma once
// The text of the profiles file (TOML), read and written:
//
//   [[server]]
//   name = "eu1"
//   host = "eu1.example.org"
//   port = 27015
//   user = "admin"                                          # optional, default ""
//   password_source = { command = "pass show game/eu1" }    # or "keyring"; default "ask"
//   automation = "/home/me/.config/vyr/eu1.rules"           # optional
//
// The tables keep the order of the file. A `password` key is refused: the file never holds one.

#include <string>
#include <string_view>
#include <vector>

#include "core/profiles/ServerProfile.h"

struct ProfilesText {
    std::vector<ServerProfile> profiles;
    std::string problem; // "line L, column C: what is wrong" for the first problem; empty if fine
};

ProfilesText ParseProfiles(std::string_view toml);

// The file for `profiles`, which must each pass ProfileProblem() and have distinct names.
std::string FormatProfiles(const std::vector<ServerProfile>& profiles);
