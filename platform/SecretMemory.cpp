#include "platform/SecretMemory.h"

#include <string.h>
#include <sys/prctl.h>

void KeepOutOfCoreDumps() {
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void Wipe(std::string& secret) {
    // Growing within the capacity never moves the buffer, so the spare bytes are reached too.
    secret.resize(secret.capacity());
    ::explicit_bzero(secret.data(), secret.size());
    secret.clear();
}
