#include "platform/ConfigPath.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <pwd.h>
#include <tuple>
#include <unistd.h>

namespace {

// Sets, or with nullptr clears, an environment variable; the old value returns afterwards.
struct EnvVar {
    EnvVar(const char* name, const char* value) : name(name), had(std::getenv(name) != nullptr) {
        old = had ? std::getenv(name) : "";
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvVar() { had ? ::setenv(name, old.c_str(), 1) : ::unsetenv(name); }
    const char* name;
    bool had;
    std::string old;
};

} // namespace

TEST(ConfigFilePath, FollowsAnAbsoluteXdgConfigHomeElseTheHomeDirectory) {
    const std::string home = "/home/u/.config/vyr.ini";
    const std::string user = std::string(::getpwuid(::getuid())->pw_dir) + "/.config/vyr.ini";
    // The last row has no HOME at all: the user database knows the home directory.
    const std::vector<std::tuple<const char*, const char*, std::string>> cases = {
        {"/home/u", "/cfg", "/cfg/vyr.ini"},
        {"/home/u", "rel/cfg", home},
        {"/home/u", "", home},
        {"/home/u", nullptr, home},
        {nullptr, nullptr, user}};
    for (const auto& [homeVar, xdgVar, expected] : cases) {
        const EnvVar setHome("HOME", homeVar);
        const EnvVar setXdg("XDG_CONFIG_HOME", xdgVar);
        EXPECT_EQ(ConfigFilePath("vyr.ini"), expected) << (xdgVar ? xdgVar : "(unset)");
    }
}
