#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for SECONDS (default 60) on a
# scratch copy of its seed corpus. Exits non-zero on any crash, leak or time-out, and prints the
# path of the input that caused it.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
targets=(client profile)

scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/vyr-fuzz.XXXXXX")"
# The settings writer syncs every file it replaces; a memory-backed TMPDIR keeps that cheap.
shm=""
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    shm="$(mktemp -d /dev/shm/vyr-fuzz.XXXXXX)"
fi
trap '[ -z "$shm" ] || rm -rf "$shm"' EXIT

failed=0
for target in "${targets[@]}"; do
    corpus="$scratch/$target/corpus"
    artifacts="$scratch/$target/artifacts"
    mkdir -p "$corpus" "$artifacts"
    cp fuzz/corpus/"$target"/* "$corpus"/
    log="$scratch/$target/fuzz.log"
    echo "== ${target}_fuzzer: ${seconds} s"
    status=0
    TMPDIR="${shm:-$scratch}" "build/fuzz/fuzz/${target}_fuzzer" \
        -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb))' "$log" || true
    grep -E '^#[0-9]+[[:space:]].*cov:' "$log" | tail -n 1 || true
    if [ "$status" -ne 0 ]; then
        failed=1
        tail -n 60 "$log"
        echo "${target}_fuzzer FAILED (exit $status); log: $log"
        for input in "$artifacts"/*; do
            [ -e "$input" ] && echo "reproduce: build/fuzz/fuzz/${target}_fuzzer $input"
        done
    fi
done

if [ "$failed" -ne 0 ]; then
    echo "Fuzzing found problems; inputs and logs are kept in $scratch"
    exit 1
fi
rm -rf "$scratch"
echo "Fuzzing found no problem."
