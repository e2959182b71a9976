#include "platform/PrivateProfile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string SECTION = "Remote Admin";
const std::string NONE = "<none>";

class ProfileFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vyr-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir + "/vyr.ini";
    }
    void TearDown() override {
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (entry.is_directory()) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            }
        }
        fs::remove_all(dir);
    }

    void Put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Bytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string Get(const std::string& key, const std::string& section = SECTION) const {
        return GetPrivateProfileString(section, key, NONE, path);
    }
    bool Set(const std::string& key, const std::string& value,
             const std::string& section = SECTION) const {
        return WritePrivateProfileString(section, key, value, path);
    }
    unsigned Mode(const std::string& p) const {
        struct stat info {};
        ::stat(p.c_str(), &info);
        return info.st_mode & 07777;
    }

    std::string dir;
    std::string path;
};

} // namespace

TEST_F(ProfileFile, ReadsByThePrivateProfileRules) {
    struct Case {
        const char* what;
        std::string file;
        std::string key;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"plain", "[Remote Admin]\r\nUsername=bob\r\n", "Username", "bob"},
        {"names ignore case", "[remote ADMIN]\r\nUSERNAME=bob\r\n", "Username", "bob"},
        {"blanks around key, = and value", "[Remote Admin]\r\n \t IP \t= \t my host \t\r\n", "IP",
         "my host"},
        {"blanks inside the brackets", "[ Remote Admin ]\r\nIP=h\r\n", "IP", "h"},
        {"double quotes", "[Remote Admin]\r\nPassword=\" pw \"\r\n", "Password", " pw "},
        {"single quotes", "[Remote Admin]\r\nPassword='pw'\r\n", "Password", "pw"},
        {"unmatched quotes stay", "[Remote Admin]\r\nPassword=\"pw'\r\n", "Password", "\"pw'"},
        {"a lone quote stays", "[Remote Admin]\r\nPassword=\"\r\n", "Password", "\""},
        {"= inside the value", "[Remote Admin]\r\nPassword=a=b\r\n", "Password", "a=b"},
        {"empty value is not missing", "[Remote Admin]\r\nPassword=\r\n", "Password", ""},
        {"comments", "[Remote Admin]\r\n;Username=x\r\n \t; Username=y\r\n", "Username", NONE},
        {"key after comments", "[Remote Admin]\r\n;Username=x\r\nUsername=bob\r\n", "Username",
         "bob"},
        {"first duplicate wins", "[Remote Admin]\r\nPort=1\r\nport=2\r\n", "Port", "1"},
        {"repeated section: first key wins",
         "[Remote Admin]\r\nPort=1\r\n[x]\r\nIP=no\r\n[remote admin]\r\nPort=2\r\nIP=h\r\n", "Port",
         "1"},
        {"repeated section: later keys found",
         "[Remote Admin]\r\nPort=1\r\n[x]\r\nIP=no\r\n[remote admin]\r\nPort=2\r\nIP=h\r\n", "IP",
         "h"},
        {"other section", "[Other]\r\nIP=h\r\n", "IP", NONE},
        {"before any section", "IP=h\r\n[Remote Admin]\r\n", "IP", NONE},
        {"LF only", "[Remote Admin]\nPort=27015\nIP=h\n", "Port", "27015"},
        {"no final line end", "[Remote Admin]\r\nPort=27015", "Port", "27015"},
        {"line without =", "[Remote Admin]\r\nUsername\r\n", "Username", NONE},
        {"header without ]", "[Remote Admin\r\nUsername=bob\r\n", "Username", NONE},
        {"embedded NUL", std::string("[Remote Admin]\r\nIP=a\0b\r\n", 24), "IP",
         std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        Put(c.file);
        EXPECT_EQ(Get(c.key), c.expected) << c.what;
    }
}

TEST_F(ProfileFile, UnusableFilesReadAsMissingAndAreNotOverwritten) {
    EXPECT_EQ(Get("IP"), NONE); // no file

    fs::create_directory(path);
    EXPECT_EQ(Get("IP"), NONE);
    EXPECT_FALSE(Set("IP", "h"));
    fs::remove(path);

    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); // must not wait for a writer
    EXPECT_EQ(Get("IP"), NONE);
    EXPECT_FALSE(Set("IP", "h"));
    fs::remove(path);

    const std::string huge = "[Remote Admin]\r\nIP=h\r\n" + std::string(10 << 20, 'x');
    Put(huge);
    EXPECT_EQ(Get("IP"), NONE);
    EXPECT_FALSE(Set("IP", "other"));
    EXPECT_EQ(Bytes(), huge);

    // Just under the limit: still read, but a write that would push it over is refused.
    const std::string full = "[Remote Admin]\r\nIP=h\r\n;" + std::string((1 << 20) - 30, 'x');
    Put(full);
    EXPECT_EQ(Get("IP"), "h");
    EXPECT_FALSE(Set("Username", "bob"));
    EXPECT_EQ(Bytes(), full);
}

TEST_F(ProfileFile, BinaryGarbageNeitherCrashesNorGetsLost) {
    std::mt19937 random(1224);
    std::string garbage(64 << 10, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random());
    }
    Put(garbage);
    EXPECT_EQ(Get("IP"), NONE);
    ASSERT_TRUE(Set("IP", "h"));
    EXPECT_EQ(Get("IP"), "h");
    EXPECT_EQ(Bytes().substr(0, garbage.size()), garbage);
}

TEST_F(ProfileFile, FirstSaveWritesTheFiveKeysExactly) {
    EXPECT_TRUE(Set("Username", "bob"));
    EXPECT_TRUE(Set("SavePass", "false"));
    EXPECT_TRUE(Set("Password", ""));
    EXPECT_TRUE(Set("IP", "127.0.0.1"));
    EXPECT_TRUE(Set("Port", "27015"));
    EXPECT_EQ(Bytes(), "[Remote Admin]\r\nUsername=bob\r\nSavePass=false\r\nPassword=\r\n"
                       "IP=127.0.0.1\r\nPort=27015\r\n");
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(fs::directory_iterator(dir)->path(), path) << "no temporary file left";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

TEST_F(ProfileFile, WritesChangeOnlyTheirOwnLine) {
    const std::string head = "; kept\r\n[Other]\r\nIP=elsewhere\r\n\r\n";
    const std::string before = "[remote admin]\r\n  username = old \r\nstray line\r\n";
    const std::string after = "IP=h\r\n\r\n; about the next\r\n[Last]\r\nk=v";

    Put(head + before + after);
    ASSERT_TRUE(Set("Username", "new"));
    EXPECT_EQ(Bytes(), head + "[remote admin]\r\nUsername=new\r\nstray line\r\n" + after);

    Put(head + before + after);
    ASSERT_TRUE(Set("Port", "1"));
    EXPECT_EQ(Bytes(), head + before + "IP=h\r\nPort=1\r\n\r\n; about the next\r\n[Last]\r\nk=v");

    Put(head + before + after);
    ASSERT_TRUE(Set("k", "w", "New"));
    EXPECT_EQ(Bytes(), head + before + after + "\r\n[New]\r\nk=w\r\n");

    Put("[Remote Admin]\r\n\r\n[Other]\r\n"); // a section with no keys
    ASSERT_TRUE(Set("IP", "h"));
    EXPECT_EQ(Bytes(), "[Remote Admin]\r\nIP=h\r\n\r\n[Other]\r\n");

    Put("[Remote Admin]\r\nPort=1\r\n[x]\r\n[Remote Admin]\r\nPort=2\r\n");
    ASSERT_TRUE(Set("Port", "3"));
    EXPECT_EQ(Bytes(), "[Remote Admin]\r\nPort=3\r\n[x]\r\n[Remote Admin]\r\nPort=2\r\n");
}

TEST_F(ProfileFile, LfOnlyFilesStayLfOnly) {
    Put("[Other]\nk=v\n[Remote Admin]\nIP=h\n");
    ASSERT_TRUE(Set("IP", "g"));
    ASSERT_TRUE(Set("Port", "1"));
    ASSERT_TRUE(Set("a", "b", "New"));
    EXPECT_EQ(Bytes(), "[Other]\nk=v\n[Remote Admin]\nIP=g\nPort=1\n[New]\na=b\n");
}

TEST_F(ProfileFile, ValuesRoundTripWhole) {
    for (const std::string& value : {std::string(40, 'n'), std::string(5000, 'v'),
                                     std::string("a;b#c[d]e=f g"), std::string(""),
                                     std::string("  padded pass "), std::string("\"quoted\""),
                                     std::string("'x'"), std::string("\"")}) {
        ASSERT_TRUE(Set("Username", value));
        EXPECT_EQ(Get("Username"), value);
    }
    ASSERT_TRUE(Set("Password", " p "));
    EXPECT_NE(Bytes().find("Password=\" p \"\r\n"), std::string::npos);
}

TEST_F(ProfileFile, RefusesWhatWouldNotReadBack) {
    Put("[Remote Admin]\r\nIP=h\r\n");
    const std::string good = Bytes();
    EXPECT_FALSE(Set("IP", "a\r\nPort=1"));
    EXPECT_FALSE(Set("IP", std::string("a\0b", 3)));
    for (const std::string key : {"", " IP", "I=P", ";IP", "[IP]", "I\nP"}) {
        EXPECT_FALSE(Set(key, "x")) << key;
    }
    for (const std::string section : {"", "A]B", "A\nB", " A"}) {
        EXPECT_FALSE(Set("IP", "x", section)) << section;
    }
    EXPECT_EQ(Bytes(), good);
}

TEST_F(ProfileFile, ModesAndDirectories) {
    const std::string nested = dir + "/a/b/vyr.ini";
    ASSERT_TRUE(WritePrivateProfileString(SECTION, "IP", "h", nested));
    EXPECT_EQ(Mode(nested), 0600u);
    EXPECT_EQ(Mode(dir + "/a"), 0700u);
    EXPECT_EQ(Mode(dir + "/a/b"), 0700u);

    Put("[Remote Admin]\r\n");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(Set("IP", "h"));
    EXPECT_EQ(Mode(path), 0640u);

    // A symlinked settings file stays a link; its target takes the change.
    const std::string real = dir + "/real.ini";
    fs::rename(path, real);
    fs::create_symlink(real, path);
    ASSERT_TRUE(Set("IP", "g"));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(GetPrivateProfileString(SECTION, "IP", NONE, real), "g");
}

// Root may write anywhere, so the check runs as an ordinary user in a child process then.
TEST_F(ProfileFile, AFailedWriteLeavesTheFileAsItWas) {
    const std::string locked = dir + "/locked";
    const std::string file = locked + "/vyr.ini";
    fs::create_directory(locked);
    std::ofstream(file, std::ios::binary) << "[Remote Admin]\r\nIP=h\r\n";
    ::chmod(dir.c_str(), 0755);
    ::chmod(file.c_str(), 0666);
    ::chmod(locked.c_str(), 0555);

    const auto attempt = [&] { return WritePrivateProfileString(SECTION, "IP", "new", file); };
    bool written = true;
    if (::geteuid() != 0) {
        written = attempt();
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(!ok ? 2 : attempt() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "could not drop root";
        written = WEXITSTATUS(status) == 1;
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(GetPrivateProfileString(SECTION, "IP", NONE, file), "h");
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), {}), 1);
}
