// The checks a login passes before a connection is tried, and vyr.ini, for both front ends.
#include "core/LoginRules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/SavedLogin.h"
#include "tests/support/TempDir.h"

namespace {

// The port is read as vyr.ini files have always been read: atoi's leading digits.
TEST(LoginRulesTest, PortTextIsReadAsItsLeadingDigits) {
    const struct {
        const char* text;
        int port; // 0: none
    } cases[] = {
        {"27888", 27888},
        {" 27888", 27888},
        {"+80", 80},
        {"12ab", 12},
        {"65535", 65535},
        {"65536", 0},
        {"0", 0},
        {"", 0},
        {"-5", 0},
        {"ab", 0},
        {"99999999999999999999", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortNumber(c.text).value_or(0), c.port) << c.text;
    }
}

TEST(LoginRulesTest, ChecksRunInTurnAndNameEveryCharacterTheWireCannotCarry) {
    const std::string tooLong(505, 'u');
    const struct {
        const char* host;
        const char* port;
        const char* user;
        const char* password;
        const char* problem; // null: accepted
        std::u32string refused;
    } cases[] = {
        {"h", "1", "admin", "pw", nullptr, U""},
        {"", "1", "a|b", "pw", "Invalid Server Host or Port.", U""},
        {"   ", "1", "", "", nullptr, U""}, // not trimmed; an empty user and password pass
        {"h", "0", "admin", "pw", "Invalid Server Host or Port.", U""},
        {"h", "1", "a|b", "\xe2\x82\xac", "Invalid Nickname. |'s are NOT allowed.", U""},
        {"h", "1", "admin", "p|w", nullptr, U""},
        {"h", "1", "\xd0\x96", "p\xe2\x82\xac", "the user name holds", U"\u0416\u20ac"},
        {"h", "1", "admin", "p\tw", "the password holds", U"\t"},
        {"h", "1", tooLong.c_str(), "", "longer than 504", U""},
    };
    for (const auto& c : cases) {
        const LoginCheck check = CheckLogin(c.host, c.port, c.user, c.password);
        if (c.problem == nullptr) {
            EXPECT_TRUE(check.login) << c.user << ": " << check.problem.text;
            continue;
        }
        EXPECT_FALSE(check.login) << c.user;
        EXPECT_NE(check.problem.text.find(c.problem), std::string::npos) << check.problem.text;
        EXPECT_EQ(std::u32string(check.problem.wireText.refused.begin(),
                                 check.problem.wireText.refused.end()),
                  c.refused);
    }
    const LoginCheck ok = CheckLogin("h", "27888", "J\xc3\xa9r\xc3\xb4me", "pw");
    ASSERT_TRUE(ok.login);
    EXPECT_EQ(ok.login->user, "J\xe9r\xf4me");
    EXPECT_EQ(ok.login->port, 27888);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

// A password is never written into a file others can read, and one found there is warned of.
TEST(SavedLoginTest, APasswordMakesTheFilePrivateAndAnExposedOneIsWarnedOf) {
    TempDir dir;
    const std::string path = dir.Path() + "/vyr.ini";
    std::ofstream(path) << "[Remote Admin]\r\nUsername=bob\r\n";
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    SavedLogin login{"bob", "secret", false, "h", "1"};
    ASSERT_TRUE(SaveLogin(path, login));
    EXPECT_EQ(ModeOf(path), 0644u) << "a write without a password keeps the mode";
    EXPECT_EQ(ReadAll(path).find("secret"), std::string::npos);
    login.savePassword = true;
    ASSERT_TRUE(SaveLogin(path, login));
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(ReadAll(path), "[Remote Admin]\r\nUsername=bob\r\nSavePass=true\r\n"
                             "Password=secret\r\nIP=h\r\nPort=1\r\n");
    EXPECT_FALSE(LoadSavedLogin(path).passwordExposed);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    const LoadedLogin loaded = LoadSavedLogin(path);
    EXPECT_TRUE(loaded.passwordExposed);
    EXPECT_EQ(loaded.login.password, "secret");
    EXPECT_TRUE(loaded.login.savePassword);
}

// A file made read-only on purpose is left alone, password or not.
TEST(SavedLoginTest, AReadOnlyFileIsNotTouched) {
    TempDir dir;
    const std::string path = dir.Path() + "/vyr.ini";
    std::ofstream(path) << "[Remote Admin]\r\nUsername=bob\r\n";
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(SaveLogin(path, SavedLogin{"eve", "pw", true, "h", "1"}));
    EXPECT_EQ(ModeOf(path), 0444u);
    EXPECT_EQ(ReadAll(path), "[Remote Admin]\r\nUsername=bob\r\n");
}

} // namespace
