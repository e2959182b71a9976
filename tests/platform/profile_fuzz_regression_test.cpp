// Settings files that profile_fuzzer found mishandled, replayed as plain reads and writes.

#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

class ProfileFuzzRegression : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vyr-regress-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir + "/vyr.ini";
    }
    void TearDown() override {
        std::remove(path.c_str());
        ::rmdir(dir.c_str());
    }

    void Put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Get(const std::string& section, const std::string& key) const {
        return GetPrivateProfileString(section, key, "<none>", path);
    }

    std::string dir;
    std::string path;
};

// The file's last line ends in a bare CR and has no line end. Adding a key after it gave that
// line an LF, so the CR became part of a CR LF line end and vanished from the line's value.
TEST_F(ProfileFuzzRegression, AddingAKeyKeepsACarriageReturnThatEndsTheFile) {
    for (const std::string& first : {std::string("[a]\n"), std::string("[a]\r\n")}) {
        for (const char* section : {"a", "b"}) {
            Put(first + "k=v\r");
            ASSERT_EQ(Get("a", "k"), "v\r");
            ASSERT_TRUE(WritePrivateProfileString(section, "n", "1", path));
            EXPECT_EQ(Get(section, "n"), "1") << section;
            EXPECT_EQ(Get("a", "k"), "v\r") << section;
        }
    }
}

} // namespace
