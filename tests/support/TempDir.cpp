#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vyr-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        path = pattern;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
