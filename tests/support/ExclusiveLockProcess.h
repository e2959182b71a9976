#pragma once
// Another process that holds a SQLite file under an exclusive lock, as a second program in a
// long write would, until Release() or the end of the test (the child dies with the test).
// Header-only: the tests that use it link the player memory already.

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "core/players/SqliteDatabase.h"

class ExclusiveLockProcess {
  public:
    explicit ExclusiveLockProcess(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::close(release[1]); // a test that ends early ends the wait below
            CSqliteDatabase db;
            const bool held = db.Open(path, SQLITE_OPEN_READWRITE).Ok() &&
                              db.Exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;").Ok();
            const char byte = held ? 'y' : 'n';
            [[maybe_unused]] const ssize_t w = ::write(ready[1], &byte, 1);
            char wait = 0;
            [[maybe_unused]] const ssize_t r = ::read(release[0], &wait, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        locked = pid > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 'y';
        ::close(ready[0]);
    }
    ~ExclusiveLockProcess() { Release(); }
    ExclusiveLockProcess(const ExclusiveLockProcess&) = delete;
    ExclusiveLockProcess& operator=(const ExclusiveLockProcess&) = delete;

    bool Locked() const { return locked; }
    // Ends the lock and waits for the process to be gone.
    void Release() {
        if (pid > 0) {
            [[maybe_unused]] const ssize_t w = ::write(release[1], "x", 1);
            ::waitpid(pid, nullptr, 0);
            ::close(release[0]);
            ::close(release[1]);
            pid = -1;
        }
    }

  private:
    int release[2] = {-1, -1};
    pid_t pid = -1;
    bool locked = false;
};
