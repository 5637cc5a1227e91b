#!/usr/bin/env bash
# Start-up cost of the launcher against the JDK's own `java -cp`, for every
# JDK under /usr/lib/jvm (or those named in JDKS): a hello program started
# round-robin, alternating which of the two goes first, ROUNDS times (default
# 60). Prints per JDK the median of the paired ratios launcher/java, both
# absolute medians, and the launcher's own time from its start to the
# JNI_CreateJavaVM call as its trace stamps it.
#
#   bench/launch_bench.sh [BUILD_DIR] [ROUNDS]      (BUILD_DIR default build/linux)
set -eu

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build/linux}" && pwd)
rounds=${2:-60}
launcher=$build/src/corvid
[[ -x $launcher ]] || { echo "no launcher at $launcher: build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/corvid-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/classes"
cat >"$work/Hello.java" <<'JAVA'
public class Hello {
    public static void main(String[] args) {
        System.out.println("Hello from " + System.getProperty("java.vm.name") + " " + System.getProperty("java.version"));
    }
}
JAVA
javac --release 11 -d "$work/classes" "$work/Hello.java"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs a command and sets RUN_MS (wall time, from bash's own clock) and
# RUN_CPU_MS (user + system time of the command): no extra process is
# started around it, so neither side pays for the measurement.
# `times` must run in this shell: a subshell has reaped no children yet.
children_cpu_ms() {
    local user system
    { read -r _ _; read -r user system; } <"$1"
    awk -v u="$user" -v s="$system" 'function ms(t) { split(t, p, /[ms]/); return (p[1] * 60 + p[2]) * 1000 }
        BEGIN { printf "%.0f\n", ms(u) + ms(s) }'
}
run_timed() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    RUN_US=$((${end/./} - ${start/./}))
}

if [[ -n ${JDKS:-} ]]; then
    read -r -a jdks <<<"$JDKS"
else
    jdks=()
    declare -A seen=()
    for jdk in /usr/lib/jvm/*; do
        [[ -x $jdk/bin/java && -f $jdk/lib/server/libjvm.so ]] || continue
        real=$(realpath "$jdk")
        [[ -n ${seen[$real]:-} ]] && continue
        seen[$real]=1
        jdks+=("$real")
    done
fi

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-32s %7s %9s %12s %9s %12s %16s\n' "JDK" "ratio" "java ms" "launcher ms" "java cpu" "launcher cpu" "to CreateJavaVM"
for jdk in "${jdks[@]}"; do
    name=$(basename "$jdk")
    app=$work/$name/hello.bin
    mkdir -p "$work/$name"
    cp "$launcher" "$app"
    printf '[Java Runtime Environment]\nMain Class=Hello\nJRE Path=%s\n[Class Path]\nClass Path=%s\n' \
        "$jdk" "$work/classes" >"$work/$name/hello.ini"
    if ! "$app" >/dev/null 2>&1; then
        echo "$name: the launcher cannot start the hello program; skipped" >&2
        continue
    fi
    java_cmd=("$jdk/bin/java" -cp "$work/classes" Hello)
    # Warm the page cache for both.
    for _ in 1 2 3; do "${java_cmd[@]}" >/dev/null; "$app" >/dev/null; done

    : >"$work/java.ms"; : >"$work/launcher.ms"; : >"$work/ratio"
    java_cpu=0; launcher_cpu=0
    for ((round = 0; round < rounds; round++)); do
        for side in $( ((round % 2 == 0)) && echo "java launcher" || echo "launcher java"); do
            times >"$work/times.before"
            if [[ $side == java ]]; then run_timed "${java_cmd[@]}"; j=$RUN_US; else run_timed "$app"; l=$RUN_US; fi
            times >"$work/times.after"
            before=$(children_cpu_ms "$work/times.before")
            after=$(children_cpu_ms "$work/times.after")
            if [[ $side == java ]]; then java_cpu=$((java_cpu + after - before)); else launcher_cpu=$((launcher_cpu + after - before)); fi
        done
        echo "$j" >>"$work/java.ms"
        echo "$l" >>"$work/launcher.ms"
        awk -v l="$l" -v j="$j" 'BEGIN { printf "%.4f\n", l / j }' >>"$work/ratio"
    done

    : >"$work/create.ms"
    for _ in $(seq 20); do
        rm -f "$work/trace"
        CORVID_TRACE=$work/trace "$app" >/dev/null
        awk '/calling JNI_CreateJavaVM/ { print $1 }' "$work/trace" >>"$work/create.ms"
    done

    printf '%-32s %7.3f %9.1f %12.1f %9.1f %12.1f %13.2f ms\n' "$name" "$(median <"$work/ratio")" \
        "$(median <"$work/java.ms" | awk '{ print $1 / 1000 }')" "$(median <"$work/launcher.ms" | awk '{ print $1 / 1000 }')" \
        "$(awk -v c="$java_cpu" -v n="$rounds" 'BEGIN { print c / n }')" \
        "$(awk -v c="$launcher_cpu" -v n="$rounds" 'BEGIN { print c / n }')" "$(median <"$work/create.ms")"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "($rounds rounds each. ratio: median of the per-round ratios launcher/java of the wall times; ms: median"
echo " wall time of a start; cpu: mean user+system ms of a start; the last column: the launcher's own time from"
echo " its start to the JNI_CreateJavaVM call, median of 20 traced starts)"
