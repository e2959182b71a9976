// The first line of a regular file, a pipe or a FIFO, read without waiting longer than allowed;
// and the words for a file that is no regular file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "platform/FirstLine.h"
#include "platform/WholeFile.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Status = FirstLine::Status;

// Writes `bytes` to the FIFO at `path` once a reader has opened it (at most 5 s), after `delay`;
// closes it unless `keepOpen`.
std::thread WriterOf(const std::string& path, std::string bytes, std::chrono::milliseconds delay) {
    return std::thread([=] {
        std::this_thread::sleep_for(delay);
        int fd = -1;
        for (int i = 0; i < 250 && fd < 0; ++i) {
            fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    });
}

TEST(FirstLineTest, RegularFilesUpToTheLimit) {
    TempDir dir;
    const struct {
        std::string content;
        Status status;
        std::string line;
    } cases[] = {
        {"secret\r\nsecond\n", Status::Ok, "secret"},
        {"secret", Status::Ok, "secret"},
        {"", Status::Ok, ""},
        {"12345678\n", Status::Ok, "12345678"},
        {"123456789", Status::TooLong, ""},
        {"12\n" + std::string(10000, 'x'), Status::Ok, "12"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Path() + "/file";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content;
        const FirstLine read = ReadFirstLine(path, 8, 1s);
        EXPECT_EQ(read.status, c.status) << c.content.substr(0, 20);
        EXPECT_EQ(read.line, c.line) << c.content.substr(0, 20);
    }
    EXPECT_EQ(ReadFirstLine(dir.Path() + "/none", 4, 1s).status, Status::Missing);
    EXPECT_EQ(ReadFirstLine(dir.Path(), 4, 1s).status, Status::NotFileOrPipe);
    EXPECT_EQ(ReadFirstLine("/dev/null", 4, 1s).status, Status::NotFileOrPipe);
}

TEST(FirstLineTest, PipesAndFifosAreWaitedForWithinTheTime) {
    // A pipe whose writer stays open: the line is enough, its end is not waited for; without a
    // line end nothing is taken.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string pipePath = "/proc/self/fd/" + std::to_string(ends[0]);
    ASSERT_EQ(::write(ends[1], "pw\nmore", 7), 7);
    EXPECT_EQ(ReadFirstLine(pipePath, 4096, 10s).line, "pw");
    EXPECT_TRUE(IsSameFile(pipePath, ends[1]));
    ASSERT_EQ(::write(ends[1], "half", 4), 4);
    EXPECT_EQ(ReadFirstLine(pipePath, 4096, 100ms).status, Status::TimedOut);
    ::close(ends[0]);
    ::close(ends[1]);

    TempDir dir;
    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(IsSameFile(fifo, STDIN_FILENO));
    EXPECT_EQ(ReadFirstLine(fifo, 4096, 100ms).status, Status::TimedOut) << "nobody writes";
    const struct {
        std::string written;
        Status status;
        std::string line;
    } cases[] = {
        {"admin\nnot read\n", Status::Ok, "admin"},
        {"", Status::Ok, ""}, // the writer came and went
        {std::string(5000, 'x'), Status::TooLong, ""},
    };
    for (const auto& c : cases) {
        std::thread writer = WriterOf(fifo, c.written, 200ms);
        const FirstLine read = ReadFirstLine(fifo, 4096, 10s);
        writer.join();
        EXPECT_EQ(read.status, c.status) << c.written.substr(0, 20);
        EXPECT_EQ(read.line, c.line);
    }
}

TEST(FileFailureTextTest, SomethingElseInPlaceIsNamedSo) {
    TempDir dir;
    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileFailureText(fifo, EINVAL), "not a regular file");
    EXPECT_EQ(FileFailureText(dir.Path(), EISDIR), "not a regular file");
    EXPECT_EQ(FileFailureText(dir.Path() + "/none", ENOSPC), std::strerror(ENOSPC));
}

} // namespace
