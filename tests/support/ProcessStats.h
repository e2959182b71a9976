#pragma once
// This process's own resource figures, for tests that bound memory and CPU use.

#include <chrono>
#include <cstddef>

// Resident set size and its peak from /proc/self/status, in KiB; 0 when they cannot be read.
std::size_t ResidentKiB();
std::size_t PeakResidentKiB();
// CPU time (user + system) that this process has used so far.
std::chrono::microseconds ProcessCpuTime();
