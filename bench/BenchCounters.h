#pragma once
// Benchmarks that time a batch of operations per iteration report the time of one operation
// through this counter: the batch's items as a rate, inverted (seconds per item).

#include <benchmark/benchmark.h>

inline benchmark::Counter PerItem(double items) {
    return benchmark::Counter(items, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
