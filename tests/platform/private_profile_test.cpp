#include "platform/PrivateProfile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string SECTION = "Remote Admin";
const std::string NONE = "<none>";

unsigned Mode(const std::string& path) {
    return unsigned(fs::status(path).permissions());
}

// Root may write anywhere, so then the attempt runs as nobody in a child process. Anything but
// a clean "not written" from the child, a failure to drop root too, counts as written.
bool WrittenAsAnOrdinaryUser(const std::function<bool()>& attempt) {
    if (::geteuid() != 0) {
        return attempt();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(::setgid(65534) != 0 || ::setuid(65534) != 0 || attempt() ? 1 : 0);
    }
    int status = 0;
    return child < 0 || ::waitpid(child, &status, 0) != child || status != 0;
}

class ProfileFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = (fs::temp_directory_path() / "vyr-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        path = dir + "/vyr.ini";
    }
    void TearDown() override { fs::remove_all(dir); }

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

    std::string dir;
    std::string path;
};

} // namespace

TEST_F(ProfileFile, ReadsByThePrivateProfileRules) {
    EXPECT_EQ(Get("IP"), NONE) << "no file";
    const std::vector<std::array<std::string, 4>> cases = {
        {"names ignore case", "[remote ADMIN]\r\nUSERNAME=bob\r\n", "Username", "bob"},
        {"blanks", "[ Remote Admin ]\r\n \t IP \t= \t my host \t\r\n", "IP", "my host"},
        {"double quotes", "[Remote Admin]\r\nPassword=\" pw \"\r\n", "Password", " pw "},
        {"single quotes", "[Remote Admin]\r\nPassword='pw'\r\n", "Password", "pw"},
        {"unmatched quotes", "[Remote Admin]\r\nPassword=\"pw'\r\n", "Password", "\"pw'"},
        {"a lone quote", "[Remote Admin]\r\nPassword=\"\r\n", "Password", "\""},
        {"= in the value", "[Remote Admin]\r\nPassword=a=b\r\n", "Password", "a=b"},
        {"empty value", "[Remote Admin]\r\nPassword=\r\n", "Password", ""},
        {"comments", "[Remote Admin]\r\n;Username=x\r\n \t; Username=y\r\nUsername=b\r\n",
         "Username", "b"},
        {"first duplicate wins", "[Remote Admin]\r\nPort=1\r\nport=2\r\n", "Port", "1"},
        {"other section", "[Other]\r\nIP=h\r\n", "IP", NONE},
        {"before any section", "IP=h\r\n[Remote Admin]\r\n", "IP", NONE},
        {"line without =", "[Remote Admin]\r\nUsername\r\n", "Username", NONE},
        {"LF only", "[Remote Admin]\nPort=27015\nIP=h\n", "Port", "27015"},
        {"lone CR", "[Remote Admin]\rIP=h\r", "IP", "h"},
        {"lone CR between keys: first", "[Remote Admin]\r\nIP=2\rPort=3\r\n", "IP", "2"},
        {"lone CR between keys: second", "[Remote Admin]\r\nIP=2\rPort=3\r\n", "Port", "3"},
        {"CR CR LF", "[Remote Admin]\r\nIP=v\r\r\n", "IP", "v"},
        {"CR at the end", "[Remote Admin]\r\nIP=v\r", "IP", "v"},
        {"repeated section", "[Remote Admin]\r\nx=1\r\n[B]\r\n[Remote Admin]\r\nIP=3\r\n", "IP",
         NONE},
        {"UTF-8 BOM is part of the first line", "\xEF\xBB\xBF[Remote Admin]\r\nIP=h\r\n", "IP",
         NONE},
    };
    for (const auto& [what, file, key, expected] : cases) {
        Put(file);
        EXPECT_EQ(Get(key), expected) << what;
    }
}

TEST_F(ProfileFile, FirstSaveWritesTheFiveKeysExactlyAndPrivately) {
    path = dir + "/a/b/vyr.ini";
    EXPECT_TRUE(Set("Username", "bob") && Set("SavePass", "false") && Set("Password", "") &&
                Set("IP", "127.0.0.1") && Set("Port", "27015"));
    EXPECT_EQ(Bytes(), "[Remote Admin]\r\nUsername=bob\r\nSavePass=false\r\nPassword=\r\n"
                       "IP=127.0.0.1\r\nPort=27015\r\n");
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(Mode(dir + "/a"), 0700u);
    EXPECT_EQ(Mode(dir + "/a/b"), 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/a/b"), {}), 1) << "temporary left";
}

TEST_F(ProfileFile, WritesChangeOnlyTheirOwnLine) {
    const std::string head = "; kept\r\n[Other]\r\nIP=elsewhere\r\n\r\n";
    const std::string mine = "[remote admin]\r\n  username = old \r\nstray line\r\nIP=h\r\n";
    const std::string tail = "\r\n;Port=old\r\n[Last]\r\nk=v"; // a commented-out key
    const std::vector<std::array<std::string, 5>> cases = {
        {"replace in place, the file's spelling kept", head + mine + tail, SECTION, "Username",
         head + "[remote admin]\r\nusername=x\r\nstray line\r\nIP=h\r\n" + tail},
        {"append to the section", head + mine + tail, SECTION, "Port",
         head + mine + "Port=x\r\n" + tail},
        {"new section at the end", head + mine + tail, "New", "k",
         head + mine + tail + "\r\n[New]\r\nk=x\r\n"},
        {"section without keys", "[Remote Admin]\r\n\r\n[O]\r\n", SECTION, "IP",
         "[Remote Admin]\r\nIP=x\r\n\r\n[O]\r\n"},
        {"LF only: append", "[O]\nk=v\n[Remote Admin]\nIP=h\n[P]\n", SECTION, "Port",
         "[O]\nk=v\n[Remote Admin]\nIP=h\nPort=x\n[P]\n"},
        {"LF only: new section", "[O]\nk=v\n", "New", "a", "[O]\nk=v\n[New]\na=x\n"},
        {"lone CR: replace", "[A]\r\nk1=1\rk2=2\r\n", "A", "k1", "[A]\r\nk1=x\rk2=2\r\n"},
        {"lone CR: append", "[A]\rk=v\r[B]\r", "A", "n", "[A]\rk=v\rn=x\r\n[B]\r"},
        {"CR at the end", "[A]\nk=v\r", "A", "n", "[A]\nk=v\rn=x\n"},
        {"repeated section: the first", "[A]\r\nx=1\r\n[B]\r\n[A]\r\nz=3\r\n", "A", "z",
         "[A]\r\nx=1\r\nz=x\r\n[B]\r\n[A]\r\nz=3\r\n"},
    };
    for (const auto& [what, file, section, key, expected] : cases) {
        Put(file);
        EXPECT_TRUE(Set(key, "x", section)) << what;
        EXPECT_EQ(Bytes(), expected) << what;
    }
}

TEST_F(ProfileFile, CallersNamesAndFallbackLoseTheirEndBlanks) {
    Put("[Remote Admin]\r\nIP=h\r\n");
    EXPECT_EQ(GetPrivateProfileString(" Remote Admin\t", "\tIP ", NONE, path), "h");
    EXPECT_EQ(GetPrivateProfileString(SECTION, "Port", " fall back \t ", path), " fall back");
    EXPECT_TRUE(Set(" IP ", "g", "\tRemote Admin "));
    EXPECT_EQ(Bytes(), "[Remote Admin]\r\nIP=g\r\n");
}

TEST_F(ProfileFile, ValuesRoundTripWholeAndWhatWouldNotReadBackIsRefused) {
    for (const std::string& value :
         {std::string(5000, 'v'), std::string("a;b#c[d]e=f g"), std::string("  padded pass "),
          std::string("\"quoted\""), std::string("'x'")}) {
        ASSERT_TRUE(Set("Username", value));
        EXPECT_EQ(Get("Username"), value);
    }
    ASSERT_TRUE(Set("Password", " p "));
    const std::string good = Bytes();
    EXPECT_NE(good.find("Password=\" p \"\r\n"), std::string::npos);

    EXPECT_FALSE(Set("IP", "a\r\nPort=1"));
    EXPECT_FALSE(Set("IP", std::string("a\0b", 3)));
    for (const std::string key : {"", " \t", "I=P", " ;IP", "[IP]", "I\rP"}) {
        EXPECT_FALSE(Set(key, "x")) << key;
    }
    for (const std::string section : {" ", "A]B", "A\nB"}) {
        EXPECT_FALSE(Set("IP", "x", section)) << section;
    }
    EXPECT_EQ(Bytes(), good);
}

TEST_F(ProfileFile, UnusableOrOversizedFilesReadAsMissingAndStayAsTheyWere) {
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0); // must not wait for a writer
    fs::create_directory(dir + "/d");
    for (const std::string& p : {dir + "/fifo", dir + "/d"}) {
        EXPECT_EQ(GetPrivateProfileString(SECTION, "IP", NONE, p), NONE) << p;
        EXPECT_FALSE(WritePrivateProfileString(SECTION, "IP", "h", p)) << p;
    }
    // Too big: read as missing, never rewritten. Just under the limit a file still reads, but a
    // write that would push it over is refused. Binary garbage survives a write.
    const std::string huge = "[Remote Admin]\r\nIP=h\r\n" + std::string(10 << 20, 'x');
    const std::string full = "[Remote Admin]\r\nIP=h\r\n;" + std::string((1 << 20) - 30, 'x');
    std::string garbage(64 << 10, '\0');
    std::generate(garbage.begin(), garbage.end(), std::mt19937(1224));
    for (const auto& [file, ip, writable] : std::vector<std::tuple<std::string, std::string, bool>>{
             {huge, NONE, false}, {full, "h", false}, {garbage, NONE, true}}) {
        Put(file);
        EXPECT_EQ(Get("IP"), ip) << file.size();
        EXPECT_EQ(Set("Username", "bob"), writable) << file.size();
        EXPECT_EQ(Get("Username"), writable ? "bob" : NONE) << file.size();
        EXPECT_TRUE(Bytes().substr(0, writable ? file.size() : std::string::npos) == file)
            << file.size();
    }
}

TEST_F(ProfileFile, FilesThatMayNotBeWrittenAreNeverReplaced) {
    // A symlink stays a link; its target takes the change and keeps its mode.
    const std::string content = "[Remote Admin]\r\nIP=h\r\n";
    std::ofstream(dir + "/real.ini") << content;
    ::chmod((dir + "/real.ini").c_str(), 0640);
    fs::create_symlink("real.ini", path);
    EXPECT_TRUE(Set("IP", "g"));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(Mode(dir + "/real.ini"), 0640u);
    EXPECT_EQ(Get("IP"), "g");
    fs::remove(dir + "/real.ini");
    fs::remove(path);

    // Neither a writable file in a read-only directory nor another user's file in a directory
    // anyone may write (a rename would take it over) is replaced. Only root can set up the latter.
    Put(content);
    for (const auto& [dirMode, fileMode] : {std::pair{0555, 0666}, {0777, 0644}}) {
        ::chmod(path.c_str(), fileMode);
        ::chmod(dir.c_str(), dirMode);
        if (dirMode == 0555 || ::geteuid() == 0) {
            EXPECT_FALSE(WrittenAsAnOrdinaryUser([&] { return Set("IP", "new"); })) << dirMode;
            EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << "temporary left";
        }
        ::chmod(dir.c_str(), 0700);
        EXPECT_EQ(Bytes(), content);
    }
    ::chmod(path.c_str(), 0444); // read-only on purpose: root leaves it alone too
    EXPECT_FALSE(Set("IP", "new"));
    EXPECT_EQ(Bytes(), content);
    EXPECT_EQ(Mode(path), 0444u);
}
