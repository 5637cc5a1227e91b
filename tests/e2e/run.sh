#!/usr/bin/env bash
# Runs the end-to-end suites of one kind against one build tree:
#
#   tests/e2e/run.sh linux build/linux [SUITE...]
#   tests/e2e/run.sh wine build/windows [SUITE...]
#
# Every tests/e2e/<kind>/*.sh is a suite (or only the named ones, by file name
# without .sh). The last line of output is "e2e <kind>: N passed, N failed";
# the exit status is non-zero when a check failed or a suite could not run.
# For Wine the runner prepares the prefix, wineserver and X display once and
# stops them at the end, unless CORVID_WINE_ENV names a set-up already running
# (tests/run_all.sh shares one between the Wine unit tests and these suites).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
kind=${1:-}
build=${2:-}
if [[ ($kind != linux && $kind != wine) || -z $build ]]; then
    echo "usage: $0 <linux|wine> <build dir> [suite...]" >&2
    exit 2
fi
shift 2

summary() {
    echo "e2e $kind: $1 passed, $2 failed"
}

if ! build=$(cd "$build" 2>/dev/null && pwd); then
    echo "no build directory ${2:-}" >&2
    summary 0 1
    exit 1
fi
export CORVID_BUILD_DIR=$build
if [[ $kind == linux ]]; then
    export CORVID_LAUNCHER=$build/src/corvid
else
    export CORVID_LAUNCHER=$build/src/corvid.exe
    export CORVID_UIDRIVER=$build/tests/corvid_uidriver.exe
fi
if [[ ! -x $CORVID_LAUNCHER && ! -f $CORVID_LAUNCHER ]]; then
    echo "no launcher at $CORVID_LAUNCHER: build it first" >&2
    summary 0 1
    exit 1
fi

workdir=$(mktemp -d "${TMPDIR:-/tmp}/corvid-e2e-run-XXXXXX")
# shellcheck source=wine_env.sh
source "$here/wine_env.sh"
cleanup() {
    wine_env_stop
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [[ $kind == wine ]]; then
    if [[ -n ${CORVID_WINE_ENV:-} && -f $CORVID_WINE_ENV ]]; then
        # shellcheck disable=SC1090
        source "$CORVID_WINE_ENV"
    else
        started=$SECONDS
        if ! wine_env_start "$workdir/wine"; then
            summary 0 1
            exit 1
        fi
        echo "Wine prepared in $((SECONDS - started)) s"
    fi
fi

suites=()
if [[ $# -gt 0 ]]; then
    for name in "$@"; do suites+=("$here/$kind/$name.sh"); done
else
    for file in "$here/$kind"/*.sh; do
        [[ -e $file ]] && suites+=("$file")
    done
fi

passed=0
failed=0
for suite in "${suites[@]}"; do
    name=$(basename "$suite" .sh)
    echo "== $kind/$name"
    results=$workdir/$name.results
    rm -f "$results"
    started=${EPOCHREALTIME/./}
    status=0
    CORVID_E2E_RESULTS=$results bash "$suite" </dev/null || status=$?
    elapsed=$(( (${EPOCHREALTIME/./} - started) / 100000 ))
    echo "   ($((elapsed / 10)).$((elapsed % 10)) s)"
    if [[ ! -s $results ]]; then
        echo "  FAIL $name did not run (status $status)"
        failed=$((failed + 1))
        continue
    fi
    read -r suite_passed suite_failed <"$results"
    passed=$((passed + suite_passed))
    failed=$((failed + suite_failed))
    if [[ $status != 0 && $suite_failed == 0 ]]; then
        echo "  FAIL $name stopped early with status $status"
        failed=$((failed + 1))
    fi
done

summary "$passed" "$failed"
[[ $failed == 0 ]]
