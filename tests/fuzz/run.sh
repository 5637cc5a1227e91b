#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build from their seed corpora:
#
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]     (default: every target)
#
# Each target runs for SECONDS with the dictionary corvid.dict (brand_files
# on larger inputs with a tighter memory limit); what it finds new goes to a
# working corpus under BUILD_DIR/fuzz-runs/<target>/, never into the seeds in
# the repository. A target that crashes, leaks, trips a
# sanitizer or fails one of its property checks counts as failed, and its
# input is kept as BUILD_DIR/fuzz-runs/<target>/crash-*. Prints one line per
# target with its executions and coverage; the last line is
# "fuzz: N passed, N failed".
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
build=$(cd "$build" && pwd) || exit 1
targets=("$@")
if [[ ${#targets[@]} == 0 ]]; then
    for dir in "$here"/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

passed=0
failed=0
for target in "${targets[@]}"; do
    program=$build/tests/fuzz/${target}_fuzz
    work=$build/fuzz-runs/$target
    mkdir -p "$work/corpus"
    if [[ ! -x $program ]]; then
        echo "fuzz $target: FAIL: no program $program"
        failed=$((failed + 1))
        continue
    fi
    # -timeout: an input that takes this long is a hang and fails the run.
    limits=(-rss_limit_mb=2048 -max_len=8192)
    sanitizer=${ASAN_OPTIONS:-}
    # Executables are larger than the other inputs; whatever they hold, a few
    # kilobytes of them must never cost hundreds of megabytes. The sanitizer
    # keeps less freed memory aside (256 MB by default), so the limit measures
    # the readers.
    if [[ $target == brand_files ]]; then
        limits=(-rss_limit_mb=512 -malloc_limit_mb=64 -max_len=65536)
        sanitizer=${sanitizer:+$sanitizer:}quarantine_size_mb=32
    fi
    ASAN_OPTIONS=$sanitizer "$program" -max_total_time="$seconds" -timeout=10 "${limits[@]}" \
        -dict="$here/corvid.dict" -artifact_prefix="$work/" -print_final_stats=1 \
        "$work/corpus" "$here/corpus/$target" >"$work/log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
    coverage=$(grep -E '^#[0-9]+' "$work/log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' | tail -1)
    if ((status == 0)); then
        echo "fuzz $target: ok, ${runs:-?} runs, ${coverage:-no coverage figures} in $seconds s"
        passed=$((passed + 1))
    else
        echo "fuzz $target: FAIL (status $status), ${runs:-?} runs; log $work/log"
        grep -E 'property failed|ERROR: |SUMMARY: |Test unit written' "$work/log" | head -5 | sed 's/^/       /'
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
