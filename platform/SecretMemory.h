#pragma once
// Keeping a password out of places it has no business in: core dumps, other processes of the same
// user reading this one's memory, and buffers that outlive their use.

#include <string>

// Makes the process non-dumpable, as ssh-agent does: no core file is written and other processes
// of the user may not attach to it or read its memory or environment. For the rest of the run.
void KeepOutOfCoreDumps();

// Overwrites every byte `secret` holds, spare capacity included, then empties it.
void Wipe(std::string& secret);

// Wipes a string when the scope it guards is left, whichever way.
class CWipeOnExit {
  public:
    explicit CWipeOnExit(std::string& secret) : secret(secret) {}
    ~CWipeOnExit() { Wipe(secret); }
    CWipeOnExit(const CWipeOnExit&) = delete;
    CWipeOnExit& operator=(const CWipeOnExit&) = delete;

  private:
    std::string& secret;
};
