// The command history kept across runs, and what Tab completes to, for both front ends.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <random>

#include "core/Completion.h"
#include "core/HistoryStore.h"
#include "tests/support/TempDir.h"

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(HistoryStoreTest, CommandsSurviveOnceEachInARowInAPrivateFile) {
    TempDir dir;
    const std::string path = dir.Path() + "/history";
    {
        CHistoryStore store(path);
        EXPECT_EQ(store.Add("/kick 3"), "");
        EXPECT_EQ(store.Add("say hi"), "");
        EXPECT_EQ(store.Add("say hi"), "");
    }
    EXPECT_EQ(Read(path), "/kick 3\nsay hi\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(CHistoryStore(path).Commands(), (std::vector<std::string>{"/kick 3", "say hi"}));
}

// The file's tail holds the newest commands; garbage before or among them costs only itself.
TEST(HistoryStoreTest, AHugeGarbledFileLoadsItsValidTail) {
    TempDir dir;
    const std::string path = dir.Path() + "/history";
    std::string garbage(10 * 1024 * 1024, '\0');
    std::generate(garbage.begin(), garbage.end(), std::mt19937(8));
    for (int i = 0; i < 1200; ++i) {
        garbage += "/say " + std::to_string(i) + "\n\xff\xfe\x01\n";
    }
    Write(path, garbage);
    const CHistoryStore store(path);
    EXPECT_EQ(store.Commands().size(), MAX_HISTORY);
    EXPECT_EQ(store.Commands().back(), "/say 1199");
    EXPECT_TRUE(store.LoadedDamaged());
}

// vyr-cli's files from before the shared store: libedit's header and octal escapes.
TEST(HistoryStoreTest, AnOlderTerminalHistoryIsRead) {
    TempDir dir;
    const std::string path = dir.Path() + "/cli_history";
    Write(path, "_HiStOrY_V2_\n/kick\\0403\n:ban\\040Ann\\134x\n");
    const CHistoryStore store(path);
    EXPECT_EQ(store.Commands(), (std::vector<std::string>{"/kick 3", ":ban Ann\\x"}));
    EXPECT_FALSE(store.LoadedDamaged());
}

// Something other than a file in its place is never opened blocking, and nothing is written to
// it; the first failure is said, once.
TEST(HistoryStoreTest, AFifoOrFolderInPlaceIsLeftAloneAndSaidOnce) {
    TempDir dir;
    const std::string fifo = dir.Path() + "/fifo", folder = dir.Path() + "/folder";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    for (const std::string& path : {fifo, folder}) {
        CHistoryStore store(path); // would hang on the FIFO if it were opened blocking
        EXPECT_TRUE(store.LoadedDamaged()) << path;
        EXPECT_NE(store.Add("one"), "") << path;
        EXPECT_EQ(store.Add("two"), "") << path;
        EXPECT_EQ(store.Commands(), (std::vector<std::string>{"one", "two"}));
    }
    struct stat info {};
    ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A full disk (here: a file size limit) leaves the old file whole and is said.
TEST(HistoryStoreTest, AFullDiskKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.Path() + "/history";
    Write(path, "old\n");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CHistoryStore store(path);
        const bool said = !store.Add(std::string(100, 'x')).empty();
        ::_exit(said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Read(path), "old\n");
}

TEST(CompletionTest, CommandsFromTheHistoryLocalCommandsAndNamesInAnyCase) {
    const std::vector<std::string> history = {"/kick 3", "/list", "/kick 9", "say /kill"};
    const std::vector<std::string> local = {":players", ":kick", ":ban"};
    const std::vector<std::string> names = {"Bob", "bobby", "Al", "\xc3\x89mile"};
    const struct {
        std::string line;
        std::vector<std::string> words;
    } cases[] = {
        {"/k", {"/kick"}},
        {"/", {"/kick", "/list"}},
        {"/kick bo", {"Bob", "bobby"}},
        {"/kick BO", {"Bob", "bobby"}},
        {"say /ki", {}},
        {"", {}},
        {"hi a", {"Al"}},
        {"hi \xc3\xa9", {"\xc3\x89mile"}},
        {"/kick", {}},
        {":k", {":kick"}},
        {"say :k", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompletionsAt(c.line, c.line.size(), history, local, names).words, c.words)
            << c.line;
    }
    EXPECT_EQ(CompletionsAt("ab cd", 2, history, local, {"abc"}).wordStart, 0u);
}

TEST(CompletionTest, CommonStartNeverEndsInHalfACharacter) {
    EXPECT_EQ(CommonStart({"Bob", "bobby"}), "");
    EXPECT_EQ(CommonStart({"bob", "bobby"}), "bob");
    EXPECT_EQ(CommonStart({"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa8"}), "\xc3\xa9t");
    EXPECT_EQ(CommonStart({"\xc3\xa9"}), "\xc3\xa9");
    EXPECT_EQ(CommonStart({}), "");
}

} // namespace
