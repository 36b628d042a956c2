#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan+UBSan) and runs
# each one on its seed corpus in fuzz/seeds/ and its working corpus in
# build/fuzz/corpus/ (kept between runs, so a long run goes on from the last).
#
#   scripts/fuzz.sh [seconds per target] [target ...]
#
# Default: 60 seconds for each of the five targets. With FUZZ_RUNS=N set, each
# target runs N executions instead of a time. A target stops at its first
# crash or failed check; the input that caused it is kept as
# build/fuzz/crashes/<target>/crash-*, and the run fails. The full libFuzzer
# output of each target is in build/fuzz/logs/<target>.log.
#
# Reproduce a crash:  build/fuzz/fuzz/<target> build/fuzz/crashes/<target>/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
all=(fuzz_keycodes fuzz_framing fuzz_numbers fuzz_safelogic fuzz_cmdline)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

# The longest input each target is given: a little past what its code reads
# (260 reply bytes, 63 integer-box characters), or room for some forty
# operations on the safe or a handful of words.
declare -A max_len=(
    [fuzz_keycodes]=64 [fuzz_framing]=320 [fuzz_numbers]=96
    [fuzz_safelogic]=256 [fuzz_cmdline]=128
)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

passed=0
failed=0
for t in "${targets[@]}"; do
    if [ -z "${max_len[$t]:-}" ]; then
        echo "fuzz.sh: no target $t (targets: ${all[*]})" >&2
        exit 2
    fi
    corpus=$build/corpus/$t
    crashes=$build/crashes/$t
    log=$build/logs/$t.log
    mkdir -p "$corpus" "$crashes" "$build/logs"
    limit=(-max_total_time="$seconds")
    [ -n "${FUZZ_RUNS:-}" ] && limit=(-runs="$FUZZ_RUNS")
    start=$(date +%s)
    status=0
    "$build/fuzz/$t" "${limit[@]}" -max_len="${max_len[$t]}" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "fuzz/seeds/$t" >"$log" 2>&1 || status=$?
    elapsed=$(( $(date +%s) - start ))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        verdict=ok
    else
        failed=$((failed + 1))
        verdict="FAILED (exit $status), see $log"
        grep -E 'check failed|ERROR:|SUMMARY:' "$log" | head -5 >&2 || true
    fi
    printf '%-15s %12s runs %9s exec/s %6s s  edges %5s  features %6s  corpus %5s  %s\n' \
        "$t" "${runs:-?}" "${rate:-?}" "$elapsed" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$verdict"
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
