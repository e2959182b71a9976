#pragma once
// This process's own resource figures, for tests that bound memory and CPU use.

#include <chrono>
#include <cstddef>

// Resident set size from /proc/self/status, in KiB; 0 when it cannot be read.
std::size_t ResidentKiB();
// CPU time (user + system) that this process has used so far.
std::chrono::microseconds ProcessCpuTime();
