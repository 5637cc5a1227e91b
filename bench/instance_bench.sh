#!/usr/bin/env bash
# What a forwarded start costs: the whole second start (process start, hand-
# over, reply, exit) against a running first instance, void and int forms,
# beside the floor, the same executable started with no configuration (on
# Linux it reads the missing file, finds no main class and ends; under Wine
# it is copied to a path without any ".", which has no configuration file, so
# that no message box waits). Rounds alternate
# floor, void, int. Then the time for 20 simultaneous second starts to all be
# answered (median of 5). Linux runs OpenJDK 17 and the probes in
# tests/java; Wine runs corvid.exe with the test JVM library. Figures only;
# nothing is asserted.
#
#   bench/instance_bench.sh [LINUX_BUILD] [WINDOWS_BUILD] [ROUNDS]
#       (defaults build/linux, build/windows, 60; an empty or missing build
#        directory skips that platform)
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
linux_build=${1-$here/../build/linux}
windows_build=${2-$here/../build/windows}
rounds=${3:-60}
jdk=/usr/lib/jvm/java-17-openjdk-amd64

work=$(mktemp -d "${TMPDIR:-/tmp}/corvid-instance-bench-XXXXXX")
FIRST_PID=""
source "$here/../tests/e2e/wine_env.sh"
cleanup() {
    [[ -n $FIRST_PID ]] && kill -9 "$FIRST_PID" 2>/dev/null
    wine_env_stop 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# stats FILE: median and 90th percentile of the microsecond figures, in ms.
stats() {
    sort -n "$1" | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        p = v[int(0.9 * NR + 0.999)]
        printf "median %7.2f ms   p90 %7.2f ms   (%d rounds)\n", m / 1000, p / 1000, NR }'
}

timed() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 </dev/null
    local end=$EPOCHREALTIME
    echo $((${end/./} - ${start/./}))
}

# twenty CMD...: microseconds until 20 starts of CMD N (N = 1..20) have ended.
twenty() {
    local start=$EPOCHREALTIME i pids=()
    for i in $(seq 1 20); do
        "$@" "$i" >/dev/null 2>&1 </dev/null &
        pids+=($!)
    done
    wait "${pids[@]}"
    local end=$EPOCHREALTIME
    echo $((${end/./} - ${start/./}))
}

wait_for() {
    local i
    for ((i = 0; i < 600; i++)); do
        eval "$1" && return 0
        sleep 0.05
    done
    echo "timed out waiting for: $1" >&2
    return 1
}

# measure LABEL FLOOR_CMD VOID_START VOID_CMD INT_START INT_CMD STOP
#   *_START start a first instance in the background and wait for it;
#   STOP ends it.
measure() {
    local label=$1 floor=$2 void_start=$3 void_cmd=$4 int_start=$5 int_cmd=$6 stop=$7
    local out=$work/figures-$label
    mkdir -p "$out"
    for form in void int; do
        local start_cmd=$void_start cmd=$void_cmd
        [[ $form == int ]] && start_cmd=$int_start cmd=$int_cmd
        eval "$start_cmd" || return 1
        local i
        for ((i = 0; i < 3; i++)); do timed $cmd 1 >/dev/null; timed $floor >/dev/null; done  # warm-up
        for ((i = 0; i < rounds; i++)); do
            timed $floor >>"$out/floor"
            timed $cmd 7 >>"$out/$form"
        done
        for ((i = 0; i < 5; i++)); do twenty $cmd >>"$out/twenty-$form"; done
        eval "$stop"
    done
    echo "== $label"
    printf '  floor (no configuration)   '; stats "$out/floor"
    printf '  second start, void form    '; stats "$out/void"
    printf '  second start, int form     '; stats "$out/int"
    printf '  20 at once, void form      '; stats "$out/twenty-void"
    printf '  20 at once, int form       '; stats "$out/twenty-int"
}

# ---- Linux -------------------------------------------------------------------------
if [[ -n $linux_build && -x $linux_build/src/corvid ]]; then
    classes=$(cd "$linux_build" && pwd)/tests/java/classes
    l=$work/linux
    mkdir -p "$l/app" "$l/floor" "$l/probe"
    cp "$linux_build/src/corvid" "$l/app/app"
    cp "$linux_build/src/corvid" "$l/floor/app"
    linux_ini() {
        printf '%s\n' "[Java Runtime Environment]" "Main Class=$1" "JRE Path=$jdk" \
            "Virtual Machine Parameters=-Dcorvid.probe.dir=$l/probe" "[Class Path]" "Class Path=$classes" \
            "[Application]" "Single Instance=yes" >"$l/app/app.ini"
    }
    linux_start() {
        rm -rf "$l/probe"/*
        linux_ini "$1"
        "$l/app/app" >/dev/null 2>&1 </dev/null &
        FIRST_PID=$!
        wait_for "[[ -f $l/probe/ready ]]"
    }
    linux_stop() {
        echo 0 >"$l/probe/stop"
        wait "$FIRST_PID"
        FIRST_PID=""
    }
    measure linux "$l/floor/app" "linux_start corvid.probe.Forwarded" "$l/app/app" \
        "linux_start corvid.probe.ForwardedInt" "$l/app/app" linux_stop
fi

# ---- Wine ----------------------------------------------------------------------------
if [[ -n $windows_build && -f $windows_build/src/corvid.exe ]]; then
    wine_env_start "$work/wine" >/dev/null 2>&1 || { echo "Wine could not be prepared" >&2; exit 1; }
    w=$work/win
    mkdir -p "$w/app" "$w/floor" "$w/rt/bin/server" "$w/rt/lib"
    cp "$windows_build/src/corvid.exe" "$w/app/app.exe"
    # A missing configuration would show a message box under Windows; a path
    # without any "." has no configuration at all and ends at once, silently.
    cp "$windows_build/src/corvid.exe" "$w/floor/app"
    cp "$windows_build/tests/support/test_jvm/corvid_test_jvm.dll" "$w/rt/bin/server/jvm.dll"
    winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
    export CORVID_TEST_JVM_WORLD=$(winpath "$w/world.txt") CORVID_TEST_JVM_STOP=$(winpath "$w/stop")
    printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(winpath "$w/rt")" \
        "[Class Path]" "Class Path=app.jar" "[Application]" "Single Instance=yes" >"$w/app/app.ini"
    wine_start() {
        rm -f "$w/stop" "$w/log"
        printf '%s\n' "class app/Main main=print,wait-stop,exit:0 $1" >"$w/world.txt"
        CORVID_TEST_JVM_LOG=$(winpath "$w/log") wine "$w/app/app.exe" >/dev/null 2>&1 </dev/null &
        FIRST_PID=$!
        wait_for "grep -q '^main thread=' '$w/log' 2>/dev/null"
    }
    wine_stop() {
        touch "$w/stop"
        wait "$FIRST_PID"
        FIRST_PID=""
    }
    measure wine "wine $w/floor/app" "wine_start secondaryMain=return:0" "wine $w/app/app.exe" \
        "wine_start secondaryMainInt=return-arg" "wine $w/app/app.exe" wine_stop
fi
