#include "tests/support/ProcessStats.h"

#include <ctime>
#include <fstream>
#include <string>

std::size_t ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string field;
    while (status >> field && field != "VmRSS:") {
    }
    std::size_t kib = 0;
    status >> kib;
    return kib;
}

std::chrono::microseconds ProcessCpuTime() {
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec));
}
