// Settings files that must not be rewritten although their directory would allow replacing
// them: a file with no write permission, as chmod a-w leaves it (respected by root too), and a
// file of another user that this one may not write.

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/PrivateProfile.h"

namespace fs = std::filesystem;

namespace {

const std::string kSection = "Remote Admin";
const std::string kContent = "[Remote Admin]\r\nIP=h\r\n";

class SettingsFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vyr-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir + "/vyr.ini";
        std::ofstream(path, std::ios::binary) << kContent;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Content() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    bool Write() const { return WritePrivateProfileString(kSection, "IP", "new", path); }

    std::string dir;
    std::string path;
};

TEST_F(SettingsFaultTest, ReadOnlyFileIsLeftAsItWas) {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(Write());
    EXPECT_EQ(Content(), kContent);
    EXPECT_EQ(GetPrivateProfileString(kSection, "IP", "", path), "h");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << "a temporary file was left";
}

// Runs as an ordinary user: root may write the file itself.
TEST_F(SettingsFaultTest, AnotherUsersFileInAWritableDirectoryIsLeftAsItWas) {
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to create a file of another user";
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : Write() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not drop root";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write claimed success";
    EXPECT_EQ(Content(), kContent);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u) << "the file was replaced by one of the other user";
}

} // namespace
