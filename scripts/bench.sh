#!/usr/bin/env bash
# Installs what is missing, builds the "bench" preset and runs every benchmark: the protocol
# engine, the client against a loopback flood, and the admin window (offscreen, and on a real X
# server under Xvfb). Prints a summary; the full output of each program is kept in
# build/bench/results/. docs/PERFORMANCE.md explains every figure.
#
# Usage: scripts/bench.sh [--quick]
#   --quick  one repetition and short runs: a smoke test, not figures to quote
#
# Figures are only worth quoting on a quiet machine: the load average is printed before and
# after; keep it below 0.5.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
    case "$arg" in
        --quick) quick=1 ;;
        *) echo "bench.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

if [ "$quick" -eq 1 ]; then
    repetitions=1 idle_seconds=5 trial_seconds=1 startup_runs=3 floor_seconds=3
else
    repetitions=5 idle_seconds=60 trial_seconds=3 startup_runs=15 floor_seconds=20
fi

scripts/install-deps.sh --bench --gui-check
bin=build/bench/bench
out=build/bench/results
mkdir -p "$out"
cmake --preset bench >/dev/null
if ! cmake --build --preset bench -j 2 --target bench_engine bench_loopback bench_window \
    bench_window_idle bench_window_memory bench_window_startup bench_timer_floor bench_players \
    >"$out/build.log" 2>&1; then
    cat "$out/build.log"
    exit 1
fi
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
# Qt's chatter about the offscreen platform is not part of the results.
quiet_qt() { grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR || true; }
on_xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$@"; }

machine() {
    echo "cpu:     $(lscpu | sed -n 's/^Model name: *//p') ($(nproc) cores)"
    echo "memory:  $(free -h | awk '/^Mem:/ {print $2}')"
    echo "kernel:  $(uname -r)"
    echo "compiler: $(c++ --version | head -n 1)"
    echo "qt:      $(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo unknown)"
    echo "rmem_max: $(cat /proc/sys/net/core/rmem_max) bytes"
    echo "load:    $(cut -d ' ' -f 1-3 /proc/loadavg) (before)"
}
machine | tee "$out/machine.txt"

gbench() { # name, binary, extra arguments...
    local name="$1" program="$2"
    shift 2
    echo "== $name"
    "$program" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
        --benchmark_out="$out/$name.json" --benchmark_out_format=json "$@" 2>&1 |
        quiet_qt >"$out/$name.txt"
}

gbench engine "$bin/bench_engine"
gbench window "$bin/bench_window"
# Automation: trigger matching per chat line, RE2 on pathological patterns, a chat flood.
cmake --build --preset bench -j 2 --target bench_automation >>"$out/build.log" 2>&1
gbench automation "$bin/bench_automation"
grep -h '_median' "$out/automation.txt" || true

echo "== loopback: receive buffers as the link asks for them (privileged: past rmem_max)"
"$bin/bench_loopback" --seconds "$trial_seconds" | tee "$out/loopback.txt" | grep -v '^  '
echo "== loopback: 8 MiB asked for without privilege (capped by this machine's rmem_max)"
"$bin/bench_loopback" --seconds "$trial_seconds" --receive-buffer 8388608 |
    tee "$out/loopback-unprivileged.txt" | grep -v '^  '
echo "== loopback: a stock rmem_max of 208 KiB"
"$bin/bench_loopback" --seconds "$trial_seconds" --receive-buffer 212992 |
    tee "$out/loopback-stock-buffer.txt" | grep -v '^  '

echo "== loopback: recording the player memory or not, in alternating pairs (stock buffer)"
"$bin/bench_loopback" --seconds "$trial_seconds" --receive-buffer 212992 --only arrival |
    tee "$out/loopback-recording.txt" | grep -v '^  '

echo "== player memory"
if [ "$quick" -eq 1 ]; then
    "$bin/bench_players" --events 100000 --lines 100000 --runs 3 | tee "$out/players.txt"
else
    "$bin/bench_players" | tee "$out/players.txt"
fi

echo "== idle window, offscreen"
"$bin/bench_window_idle" --seconds "$idle_seconds" 2>&1 | quiet_qt | tee "$out/idle-offscreen.txt"
echo "== idle window, Xvfb"
on_xvfb "$bin/bench_window_idle" --seconds "$idle_seconds" 2>&1 | quiet_qt |
    tee "$out/idle-xvfb.txt"

echo "== what a wakeup costs here: a poll() loop and a bare Qt 10 ms timer, offscreen and Xvfb"
"$bin/bench_timer_floor" --seconds "$floor_seconds" 2>&1 | quiet_qt | tee "$out/floor-offscreen.txt"
on_xvfb "$bin/bench_timer_floor" --seconds "$floor_seconds" 2>&1 | quiet_qt | grep qt_timer |
    tee "$out/floor-xvfb.txt"

echo "== start-up"
"$bin/bench_window_startup" --runs "$startup_runs" 2>&1 | quiet_qt >"$out/startup-offscreen.txt"
on_xvfb "$bin/bench_window_startup" --runs "$startup_runs" 2>&1 | quiet_qt \
    >"$out/startup-xvfb.txt"
grep -h '_median' "$out/startup-offscreen.txt" | sed 's/^/offscreen /'
grep -h '_median' "$out/startup-xvfb.txt" | sed 's/^/xvfb      /'

echo "== memory over 1,000,000 log lines"
"$bin/bench_window_memory" 2>&1 | quiet_qt | tee "$out/memory.txt"

echo "== tabs: eight servers at 100 events/s, idle tabs, memory per tab"
cmake --build --preset bench -j 2 --target bench_window_tabs >>"$out/build.log" 2>&1 ||
    { cat "$out/build.log"; exit 1; }
"$bin/bench_window_tabs" --load --seconds "$idle_seconds" 2>&1 | quiet_qt | tee "$out/tabs-load.txt"
for tabs in 1 8; do
    "$bin/bench_window_tabs" --idle --tabs "$tabs" --seconds "$idle_seconds" 2>&1 | quiet_qt |
        tee "$out/tabs-idle-$tabs.txt"
done
"$bin/bench_window_tabs" --memory 2>&1 | quiet_qt | tee "$out/tabs-memory.txt"

echo "== saved servers: servers.toml, a password command, a keyring of its own"
cmake --build --preset bench -j 2 --target bench_profiles >>"$out/build.log" 2>&1 ||
    { cat "$out/build.log"; exit 1; }
tests/core/profiles/keyring-session.sh unlocked "$bin/bench_profiles" \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/profiles.json" --benchmark_out_format=json 2>/dev/null |
    tee "$out/profiles.txt" | grep -E '^BM_' | grep -v -E '_(mean|stddev|cv) '

echo
echo "== summary: medians of $repetitions repetitions (time, then CPU time)"
if [ "$repetitions" -gt 1 ]; then
    grep -h '_median' "$out/engine.txt" "$out/window.txt"
else
    grep -h '^BM_' "$out/engine.txt" "$out/window.txt"
fi
echo "load:    $(cut -d ' ' -f 1-3 /proc/loadavg) (after)" | tee -a "$out/machine.txt"
