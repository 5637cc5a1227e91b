#!/usr/bin/env bash
# Runs every test suite against built trees and sums the results:
#
#   tests/run_all.sh [BUILD_ROOT]      (default: build)
#
# BUILD_ROOT holds the trees of the four presets: linux, windows, asan and
# fuzz. Stages: the unit tests on Linux, with sanitizers, and under Wine; the
# libFuzzer targets for a short time each; the end-to-end suites on Linux and
# under Wine. The Wine set-up (prefix,
# wineserver, X display) is made once for both Wine stages and stopped at the
# end. Full logs go to BUILD_ROOT/test-logs/. The last line of output is
# "N passed, N failed"; the exit status is non-zero when a test failed or a
# stage could not run.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=${1:-build}
if ! root=$(cd "$root" 2>/dev/null && pwd); then
    echo "no build root ${1:-build}: build the presets first"
    echo "0 passed, 1 failed"
    exit 1
fi
logs=$root/test-logs
rm -rf "$logs"
mkdir -p "$logs"

total_passed=0
total_failed=0
broken=()

# shellcheck source=e2e/wine_env.sh
source "$here/e2e/wine_env.sh"
cleanup() { wine_env_stop >/dev/null 2>&1; }
trap cleanup EXIT
trap 'exit 130' INT TERM

stage_started=0
begin_stage() {
    echo "== $1"
    stage_started=${EPOCHREALTIME/./}
}
end_stage() {
    local name=$1 passed=$2 failed=$3
    local tenths=$(((${EPOCHREALTIME/./} - stage_started) / 100000))
    echo "   $name: $passed passed, $failed failed ($((tenths / 10)).$((tenths % 10)) s)"
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
}
could_not_run() {
    echo "   $1: could not run: $2"
    broken+=("$1")
    total_failed=$((total_failed + 1))
}

# GoogleTest ends every run with "[  PASSED  ] N tests." and, when some
# failed, "[  FAILED  ] N tests, listed below:". A test program that crashes
# prints neither; ctest still counts it as failed.
unit_stage() {
    local name=$1 tree=$root/$2 log=$logs/$1.log
    begin_stage "$name"
    if [[ ! -f $tree/CTestTestfile.cmake ]]; then
        could_not_run "$name" "no test tree in $tree"
        return
    fi
    ctest --test-dir "$tree" -V --timeout 300 >"$log" 2>&1
    local status=$?
    local passed failed ctest_failed
    passed=$(sed -n 's/.*\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | awk '{s += $1} END {print s + 0}')
    failed=$(sed -n 's/.*\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$log" | awk '{s += $1} END {print s + 0}')
    ctest_failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of.*/\1/p' "$log" | tail -1)
    if ! grep -q 'tests passed, ' "$log"; then
        could_not_run "$name" "ctest ended with status $status (see $log)"
        return
    fi
    ((ctest_failed > failed)) && failed=$ctest_failed
    grep -E '^[0-9]+: \[  FAILED  \] [^0-9]' "$log" | sed 's/^[0-9]*: /   /' | sort -u
    if ((failed > 0)) && ! grep -q '\[  FAILED  \]' "$log"; then
        grep -E '\*\*\*(Failed|Exception)|Timeout' "$log" | sed 's/^/   /'
    fi
    end_stage "$name" "$passed" "$failed"
}

# run.sh ends with "e2e <kind>: N passed, N failed".
e2e_stage() {
    local name=$1 kind=$2 tree=$root/$3 log=$logs/$1.log
    begin_stage "$name"
    "$here/e2e/run.sh" "$kind" "$tree" >"$log" 2>&1
    local status=$?
    local last
    last=$(tail -1 "$log")
    if [[ ! $last =~ ^e2e\ $kind:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        could_not_run "$name" "status $status (see $log)"
        return
    fi
    awk '/^== / { suite = $0; shown = 0; next }
         /^  FAIL/ { if (!shown) print "   " suite; shown = 1; detail = 1; print "   " $0; next }
         /^       / && detail { print "   " $0; next }
         { detail = 0 }' "$log"
    end_stage "$name" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
}

# tests/fuzz/run.sh ends with "fuzz: N passed, N failed", one count per
# target; CORVID_FUZZ_SECONDS sets each target's time (default 20 s).
fuzz_stage() {
    local name=$1 tree=$root/$2 log=$logs/fuzz.log
    begin_stage "$name"
    if [[ ! -d $tree/tests/fuzz ]]; then
        could_not_run "$name" "no fuzz targets in $tree"
        return
    fi
    "$here/fuzz/run.sh" "$tree" "${CORVID_FUZZ_SECONDS:-20}" >"$log" 2>&1
    local status=$?
    local last
    last=$(tail -1 "$log")
    if [[ ! $last =~ ^fuzz:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        could_not_run "$name" "status $status (see $log)"
        return
    fi
    grep -A5 ': FAIL' "$log" | grep -v '^--$' | sed 's/^/   /'
    end_stage "$name" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
}

unit_stage "unit tests (Linux)" linux
unit_stage "unit tests (ASan+UBSan)" asan
fuzz_stage "fuzz smoke runs (libFuzzer)" fuzz

begin_stage "Wine set-up"
if wine_env_start "$(mktemp -d "${TMPDIR:-/tmp}/corvid-wine-XXXXXX")" >"$logs/wine-setup.log" 2>&1; then
    echo "   ready ($(((${EPOCHREALTIME/./} - stage_started) / 1000000)) s)"
    unit_stage "unit tests (Wine)" windows
    e2e_stage "end-to-end (Linux)" linux linux
    e2e_stage "end-to-end (Wine)" wine windows
else
    could_not_run "Wine set-up" "$(tail -1 "$logs/wine-setup.log")"
    e2e_stage "end-to-end (Linux)" linux linux
    could_not_run "unit tests (Wine)" "no Wine set-up"
    could_not_run "end-to-end (Wine)" "no Wine set-up"
fi

cleanup
if ((${#broken[@]} > 0)); then
    echo "could not run: ${broken[*]}"
fi
echo "$total_passed passed, $total_failed failed"
((total_failed == 0 && ${#broken[@]} == 0))
