#include "tests/support/ProcessStats.h"

#include <ctime>
#include <fstream>
#include <string>

namespace {

std::size_t StatusKiB(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string field;
    while (status >> field && field != name) {
    }
    std::size_t kib = 0;
    status >> kib;
    return kib;
}

} // namespace

std::size_t ResidentKiB() {
    return StatusKiB("VmRSS:");
}

std::size_t PeakResidentKiB() {
    return StatusKiB("VmHWM:");
}

std::chrono::microseconds ProcessCpuTime() {
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec));
}
