#include "platform/ConfigPath.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <pwd.h>
#include <tuple>
#include <unistd.h>

TEST(ConfigFilePath, FollowsAnAbsoluteXdgConfigHomeElseTheHomeDirectory) {
    const std::string home = "/home/u/.config/vyr.ini";
    const std::string user = std::string(::getpwuid(::getuid())->pw_dir) + "/.config/vyr.ini";
    const auto set = [](const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    // The last row has no HOME at all: the user database knows the home directory.
    const std::vector<std::tuple<const char*, const char*, std::string>> cases = {
        {"/home/u", "/cfg", "/cfg/vyr.ini"},
        {"/home/u", "rel/cfg", home},
        {"/home/u", "", home},
        {"/home/u", nullptr, home},
        {nullptr, nullptr, user}};
    for (const auto& [homeVar, xdgVar, expected] : cases) {
        set("HOME", homeVar);
        set("XDG_CONFIG_HOME", xdgVar);
        EXPECT_EQ(ConfigFilePath("vyr.ini"), expected) << (xdgVar ? xdgVar : "(unset)");
    }
}

TEST(StateFilePath, FollowsAnAbsoluteXdgStateHomeElseTheHomeDirectory) {
    ::setenv("HOME", "/home/u", 1);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"/st", "/st/vyr/history"},
        {"rel", "/home/u/.local/state/vyr/history"},
        {"", "/home/u/.local/state/vyr/history"}};
    for (const auto& [xdgVar, expected] : cases) {
        ::setenv("XDG_STATE_HOME", xdgVar, 1);
        EXPECT_EQ(StateFilePath("vyr/history"), expected) << xdgVar;
    }
    ::unsetenv("XDG_STATE_HOME");
}

TEST(DataFilePath, FollowsAnAbsoluteXdgDataHomeElseTheHomeDirectory) {
    ::setenv("HOME", "/home/u", 1);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"/data", "/data/vyr/players.sqlite"},
        {"rel", "/home/u/.local/share/vyr/players.sqlite"},
        {"", "/home/u/.local/share/vyr/players.sqlite"}};
    for (const auto& [xdgVar, expected] : cases) {
        ::setenv("XDG_DATA_HOME", xdgVar, 1);
        EXPECT_EQ(DataFilePath("vyr/players.sqlite"), expected) << xdgVar;
    }
    ::unsetenv("XDG_DATA_HOME");
}
