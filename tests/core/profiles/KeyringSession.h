#pragma once
// The keyring tests run inside tests/core/profiles/keyring-session.sh, which ctest starts with
// the mode each suite needs; anywhere else they would use the user's own keyring.

#include <cstdlib>
#include <optional>
#include <string>

// Why a test needing a private Secret Service in `mode` must skip here, or nothing.
inline std::optional<std::string> WhyNoKeyringSession(const std::string& mode) {
    if (const char* skip = std::getenv("VYR_TEST_KEYRING_SKIP")) {
        return "no test keyring: " + std::string(skip);
    }
    const char* running = std::getenv("VYR_TEST_KEYRING");
    if (running == nullptr || running != mode) {
        return "needs a private Secret Service (" + mode +
               "): ctest runs it through tests/core/profiles/keyring-session.sh";
    }
    return std::nullopt;
}
