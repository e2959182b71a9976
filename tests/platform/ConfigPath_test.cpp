#include "platform/ConfigPath.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

// Sets or clears an environment variable for one scope.
class EnvVar {
  public:
    EnvVar(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) {
            saved = old;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvVar() { saved ? ::setenv(name, saved->c_str(), 1) : ::unsetenv(name); }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

  private:
    const char* name;
    std::optional<std::string> saved;
};

} // namespace

TEST(ConfigFilePath, FollowsXdgConfigHomeOnlyWhenAbsolute) {
    struct Case {
        const char* xdg;
        std::string expected;
    };
    const EnvVar home("HOME", "/home/u");
    for (const Case& c :
         {Case{"/cfg", "/cfg/vyr.ini"}, Case{"rel/cfg", "/home/u/.config/vyr.ini"},
          Case{"", "/home/u/.config/vyr.ini"}, Case{nullptr, "/home/u/.config/vyr.ini"}}) {
        const EnvVar xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(ConfigFilePath("vyr.ini"), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
}

TEST(ConfigFilePath, WithoutHomeUsesTheUserDatabase) {
    const EnvVar xdg("XDG_CONFIG_HOME", nullptr);
    const EnvVar home("HOME", nullptr);
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(ConfigFilePath("vyr.ini"), std::string(user->pw_dir) + "/.config/vyr.ini");
}
