#include "core/profiles/ProfilesToml.h"
#include "core/profiles/ServerProfiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

ServerProfile Profile(const std::string& name, PasswordSource source = PasswordSource::Ask) {
    ServerProfile profile;
    profile.name = name;
    profile.host = name + ".example.org";
    profile.port = 27015;
    profile.user = "admin";
    profile.passwordSource = source;
    return profile;
}

std::vector<std::string> NamesOf(const std::vector<ServerProfile>& profiles) {
    std::vector<std::string> names;
    for (const ServerProfile& profile : profiles) {
        names.push_back(profile.name);
    }
    return names;
}

TEST(ProfilesToml, RoundTripKeepsEveryFieldAndTheOrder) {
    ServerProfile command = Profile("zeta", PasswordSource::Command);
    command.passwordCommand = "pass show \"game/eu 1\" | head -n1\t# \\ caf\xc3\xa9";
    command.automationFile = "/home/me/rules/zeta \"1\".toml";
    ServerProfile keyring = Profile("Alpha-2.test_x", PasswordSource::Keyring);
    keyring.user = "Jos\xc3\xa9";
    keyring.host = "2001:db8::1";
    keyring.port = 65535;
    ServerProfile ask = Profile("m");
    ask.user = "";
    ask.port = 1;
    const std::vector<ServerProfile> profiles = {command, keyring, ask};

    const ProfilesText back = ParseProfiles(FormatProfiles(profiles));
    EXPECT_EQ(back.problem, "");
    EXPECT_EQ(back.profiles, profiles);
    EXPECT_EQ(ParseProfiles(FormatProfiles({})).profiles.size(), 0U);
}

TEST(ProfilesToml, ReadsWhatAPersonWritesWithTheDefaults) {
    const ProfilesText text = ParseProfiles(R"(# my servers
[[server]]
name = "eu1"
host = "eu1.example.org"
port = 27015
user = 'admin'
password_source = { command = 'pass show game/eu1' }
automation = "/home/me/.config/vyr/eu1.rules"

[[server]]
port = 56714
host = "127.0.0.1"
name = "local"

[server.password_source]
command = "cat /run/pw"
)");
    ASSERT_EQ(text.problem, "");
    ASSERT_EQ(text.profiles.size(), 2U);
    EXPECT_EQ(text.profiles[0].passwordCommand, "pass show game/eu1");
    EXPECT_EQ(text.profiles[0].automationFile, "/home/me/.config/vyr/eu1.rules");
    EXPECT_EQ(text.profiles[1].name, "local");
    EXPECT_EQ(text.profiles[1].user, "");
    EXPECT_EQ(text.profiles[1].passwordSource, PasswordSource::Command);
    EXPECT_EQ(text.profiles[1].passwordCommand, "cat /run/pw");
    EXPECT_EQ(
        ParseProfiles("[[server]]\nname='a'\nhost='h'\nport=1\n").profiles.at(0).passwordSource,
        PasswordSource::Ask);
}

struct BadFile {
    const char* why;
    std::string text;
    const char* place; // "line L, column C"
    const char* says;  // a part of the message
};

TEST(ProfilesToml, BadFilesAreRefusedWithThePlace) {
    const std::string head = "[[server]]\nname = \"eu1\"\nhost = \"h\"\nport = 1\n";
    const BadFile cases[] = {
        {"syntax", "[[server]\n", "line 1, column 10", ""},
        {"not UTF-8", "[[server]]\nname = \"\xff\"\n", "line 2, column 8", "utf-8"},
        {"a password", head + "password = \"hunter2\"\n", "line 5, column 1",
         "a password is never kept in this file"},
        {"a password in the source", head + "password_source = { password = \"x\" }\n",
         "line 5, column 21", "a password is never kept"},
        {"a password outside", "password = \"x\"\n" + head, "line 1, column 1",
         "a password is never kept"},
        {"a source with more", head + "password_source = { command = \"a\", x = 1 }\n",
         "line 5, column 36", "password_source must be"},
        {"unknown key", head + "hots = \"h\"\n", "line 5, column 1", "unknown key \"hots\""},
        {"unknown top-level key", "title = \"x\"\n" + head, "line 1, column 1",
         "[[server]] tables only"},
        {"one table", "[server]\nname = \"a\"\n", "line 1, column 1", "[[server]] table"},
        {"no host", "[[server]]\nname = \"a\"\nport = 1\n", "line 1, column 1", "has no host"},
        {"no name", "\n[[server]]\nhost = \"a\"\nport = 1\n", "line 2, column 1", "has no name"},
        {"port 0", "[[server]]\nname = \"a\"\nhost = \"h\"\nport = 0\n", "line 4, column 8",
         "from 1 to 65535"},
        {"port too big", "[[server]]\nname = \"a\"\nhost = \"h\"\nport = 65536\n",
         "line 4, column 8", "from 1 to 65535"},
        {"port as text", "[[server]]\nname = \"a\"\nhost = \"h\"\nport = \"1\"\n",
         "line 4, column 8", "from 1 to 65535"},
        {"port as float", "[[server]]\nname = \"a\"\nhost = \"h\"\nport = 1.5\n",
         "line 4, column 8", "from 1 to 65535"},
        {"name with a blank", "[[server]]\nname = \"eu 1\"\nhost = \"h\"\nport = 1\n",
         "line 2, column 8", "A-Z, a-z, 0-9"},
        {"name as a number", "[[server]]\nname = 5\nhost = \"h\"\nport = 1\n", "line 2, column 8",
         "must be text in quotes"},
        {"the same name twice", head + "\n" + head, "line 7, column 8",
         "already taken by the server at line 2"},
        {"unknown source", head + "password_source = \"vault\"\n", "line 5, column 19",
         "\"keyring\", \"ask\""},
        {"empty command", head + "password_source = { command = \" \" }\n", "line 5, column 31",
         "command is empty"},
        {"command with a line break", head + "password_source = { command = \"a\\nb\" }\n",
         "line 5, column 31", "line break"},
        {"relative rules file", head + "automation = \"eu1.rules\"\n", "line 5, column 14",
         "absolute path"},
        {"user with |", head + "user = \"a|b\"\n", "line 5, column 8", "'|'"},
        {"user beyond Latin-1", head + "user = \"\\u0416\"\n", "line 5, column 8", "U+0416"},
        {"host with a blank", "[[server]]\nname = \"a\"\nhost = \"a b\"\nport = 1\n",
         "line 3, column 8", "blank"},
        {"host with a control character",
         "[[server]]\nname = \"a\"\nhost = \"a\\u0007\"\nport = 1\n", "line 3, column 8",
         "control character"},
    };
    for (const BadFile& c : cases) {
        const ProfilesText text = ParseProfiles(c.text);
        EXPECT_EQ(text.problem.rfind(c.place, 0), 0U) << c.why << ": " << text.problem;
        EXPECT_NE(text.problem.find(c.says), std::string::npos) << c.why << ": " << text.problem;
        EXPECT_TRUE(text.profiles.empty()) << c.why;
    }
}

TEST(ProfileName, FitsASystemdUnitACommandLineAndAList) {
    const std::pair<std::string, bool> cases[] = {
        {"eu1", true},
        {"EU-1.test_2", true},
        {std::string(64, 'a'), true},
        {"9", true},
        {std::string(65, 'a'), false},
        {"", false},
        {".hidden", false},
        {"-option", false},
        {"_x", false},
        {"a,b", false},
        {"a/b", false},
        {"a@b", false},
        {"a\\x2d", false},
        {"caf\xc3\xa9", false},
        {"a b", false},
    };
    for (const auto& [name, fine] : cases) {
        EXPECT_EQ(ProfileNameProblem(name).empty(), fine) << name;
    }
}

class ProfilesFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = (fs::temp_directory_path() / "vyr-servers-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        path = dir + "/vyr/servers.toml";
    }
    void TearDown() override { fs::remove_all(dir); }

    void Put(const std::string& bytes, fs::perms mode = fs::perms(0600)) const {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        fs::permissions(path, mode);
    }
    std::string Bytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    unsigned Mode(const std::string& of) const { return unsigned(fs::status(of).permissions()); }

    std::string dir;
    std::string path;
};

TEST_F(ProfilesFile, SavesPrivatelyAndReadsBack) {
    CServerProfiles profiles(path);
    EXPECT_EQ(profiles.Load(), "") << "no file is no servers";
    EXPECT_TRUE(profiles.List().empty());
    ASSERT_EQ(profiles.Add(Profile("eu1", PasswordSource::Keyring)), "");
    ASSERT_EQ(profiles.Add(Profile("us1")), "");
    ASSERT_EQ(profiles.Save(), "");
    EXPECT_EQ(Mode(path), 0600U);
    EXPECT_EQ(Mode(dir + "/vyr"), 0700U);

    CServerProfiles again(path);
    EXPECT_EQ(again.Load(), "");
    EXPECT_EQ(again.List(), profiles.List());
    ASSERT_NE(again.Find("us1"), nullptr);
    EXPECT_EQ(again.Find("us1")->host, "us1.example.org");
    EXPECT_EQ(again.Find("US1"), nullptr);
}

TEST_F(ProfilesFile, AFileOthersCouldReadBecomesPrivateAndAReadOnlyOneStaysAsItIs) {
    const std::string text = FormatProfiles({Profile("eu1")});
    Put(text, fs::perms(0644));
    CServerProfiles profiles(path);
    ASSERT_EQ(profiles.Load(), "");
    ASSERT_EQ(profiles.Add(Profile("us1")), "");
    EXPECT_EQ(profiles.Save(), "");
    EXPECT_EQ(Mode(path), 0600U);

    Put(text, fs::perms(0444));
    ASSERT_EQ(profiles.Load(), "");
    ASSERT_EQ(profiles.Add(Profile("us1")), "");
    EXPECT_NE(profiles.Save().find("could not be written"), std::string::npos);
    EXPECT_EQ(Mode(path), 0444U);
    EXPECT_EQ(Bytes(), text);
}

TEST_F(ProfilesFile, AFileThatCannotBeReadIsNeverOverwritten) {
    const std::pair<const char*, std::string> cases[] = {
        {"line 2", "[[server]]\nname = \n"},
        {"line 5, column 1: a password is never kept",
         "[[server]]\nname = \"a\"\nhost = \"h\"\nport = 1\npassword = \"secret\"\n"},
        {"larger than 1 MiB", std::string(1024 * 1024 + 1, '#')},
    };
    for (const auto& [says, bytes] : cases) {
        Put(bytes);
        CServerProfiles profiles(path);
        const std::string problem = profiles.Load();
        EXPECT_EQ(problem.rfind(path, 0), 0U) << problem;
        EXPECT_NE(problem.find(says), std::string::npos) << problem;
        EXPECT_TRUE(profiles.List().empty());
        EXPECT_EQ(profiles.Add(Profile("eu1")), "");
        EXPECT_NE(profiles.Save().find("would be lost"), std::string::npos);
        EXPECT_EQ(Bytes(), bytes);
    }
}

TEST_F(ProfilesFile, AFifoInPlaceOfTheFileNeitherHangsNorIsReplaced) {
    fs::create_directories(dir + "/vyr");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); // must not wait for a writer
    CServerProfiles profiles(path);
    EXPECT_NE(profiles.Load().find("not a regular file"), std::string::npos);
    EXPECT_NE(profiles.Save(), "");
    EXPECT_TRUE(fs::is_fifo(path));
}

TEST_F(ProfilesFile, ChangesMadeOnDiskSinceLoadingAreNotSavedOver) {
    Put(FormatProfiles({Profile("eu1")}));
    CServerProfiles profiles(path);
    ASSERT_EQ(profiles.Load(), "");
    ASSERT_EQ(profiles.Add(Profile("us1")), "");
    const std::string edited = FormatProfiles({Profile("eu1"), Profile("by-hand")});
    Put(edited);
    EXPECT_NE(profiles.Save().find("changed since it was read"), std::string::npos);
    EXPECT_EQ(Bytes(), edited);

    fs::remove(path);
    EXPECT_NE(profiles.Save(), "") << "removed by hand is a change too";
    EXPECT_FALSE(fs::exists(path));

    ASSERT_EQ(profiles.Load(), "");
    ASSERT_EQ(profiles.Add(Profile("us1")), "");
    EXPECT_EQ(profiles.Save(), "");
    ASSERT_EQ(profiles.Remove("us1"), "");
    EXPECT_EQ(profiles.Save(), "") << "its own save is no foreign change";
}

TEST_F(ProfilesFile, TheServersDialogOperations) {
    CServerProfiles profiles(path);
    ASSERT_EQ(profiles.Load(), "");
    for (const char* name : {"a", "b", "c"}) {
        ASSERT_EQ(profiles.Add(Profile(name)), "");
    }
    using Names = std::vector<std::string>;
    EXPECT_NE(profiles.Add(Profile("b")).find("already exists"), std::string::npos);
    ServerProfile bad = Profile("d");
    bad.port = 0;
    EXPECT_NE(profiles.Add(bad), "");

    ServerProfile edited = Profile("b", PasswordSource::Command);
    edited.passwordCommand = "pass show b";
    EXPECT_EQ(profiles.Edit("b", edited), "");
    EXPECT_EQ(*profiles.Find("b"), edited);
    EXPECT_NE(profiles.Edit("b", bad), "");
    EXPECT_NE(profiles.Edit("x", edited), "");
    EXPECT_NE(profiles.Rename("b", "c").find("already exists"), std::string::npos);
    EXPECT_NE(profiles.Rename("b", "no good"), "");
    EXPECT_EQ(profiles.Rename("b", "b2"), "");
    EXPECT_EQ(profiles.Find("b2")->passwordCommand, "pass show b") << "a rename keeps the rest";
    EXPECT_EQ(NamesOf(profiles.List()), (Names{"a", "b2", "c"}));

    EXPECT_EQ(profiles.MoveUp("a"), "");
    EXPECT_EQ(NamesOf(profiles.List()), (Names{"a", "b2", "c"})) << "the top stays the top";
    EXPECT_EQ(profiles.MoveDown("a"), "");
    EXPECT_EQ(NamesOf(profiles.List()), (Names{"b2", "a", "c"}));
    EXPECT_EQ(profiles.MoveUp("c"), "");
    EXPECT_EQ(NamesOf(profiles.List()), (Names{"b2", "c", "a"}));
    EXPECT_EQ(profiles.MoveDown("a"), "");
    EXPECT_EQ(NamesOf(profiles.List()), (Names{"b2", "c", "a"}));
    EXPECT_NE(profiles.MoveUp("x"), "");

    EXPECT_EQ(profiles.Remove("c"), "");
    EXPECT_NE(profiles.Remove("c"), "");
    ASSERT_EQ(profiles.Save(), "");
    CServerProfiles again(path);
    ASSERT_EQ(again.Load(), "");
    EXPECT_EQ(NamesOf(again.List()), (Names{"b2", "a"}));
}

} // namespace
