#!/usr/bin/env bash
# What the start-up cache buys: the benchmark application (bench/startup_app,
# built into tests/java/startup_app.jar; about 6,500 loaded classes, 1,200
# of them its own) started
# round-robin as `java -cp`, through the launcher with the cache off and
# through the launcher with a warm cache, the order rotating each round, on
# JDK 17 and on the newest other JDK in /usr/lib/jvm (or those in JDKS).
# Prints per JDK the median of the per-round ratios against `java -cp`, the
# median wall times and the archive's size. Figures, not a test.
#
#   nice -n 19 bench/startup_cache_bench.sh [BUILD_DIR] [ROUNDS]   (default build/linux, 30)
set -eu

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build/linux}" && pwd)
rounds=${2:-30}
launcher=$build/src/corvid
jar=$build/tests/java/startup_app.jar
[[ -x $launcher && -f $jar ]] || { echo "no launcher or $jar: build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/corvid-cache-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# The children's user + system time so far, from the output of `times`
# (which must run in this shell: a subshell has reaped no children).
cpu_ms_of() {
    local user system
    { read -r _ _; read -r user system; } <"$1"
    awk -v u="$user" -v s="$system" 'function ms(t) { split(t, p, /[ms]/); return (p[1] * 60 + p[2]) * 1000 }
        BEGIN { printf "%.0f\n", ms(u) + ms(s) }'
}
# Sets RUN_US (wall time) and RUN_CPU_MS (user + system time of the start).
run_timed() {
    local start end
    times >"$work/times.before"
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$EPOCHREALTIME
    times >"$work/times.after"
    RUN_US=$((${end/./} - ${start/./}))
    RUN_CPU_MS=$(($(cpu_ms_of "$work/times.after") - $(cpu_ms_of "$work/times.before")))
}

if [[ -n ${JDKS:-} ]]; then
    read -r -a jdks <<<"$JDKS"
else
    jdks=(/usr/lib/jvm/java-17-openjdk-amd64)
    newest="" newest_version=0
    for jdk in /usr/lib/jvm/*; do
        [[ -f $jdk/lib/server/libjvm.so && -f $jdk/release ]] || continue
        version=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")
        if [[ -n $version ]] && ((version > 17 && version > newest_version)); then newest=$jdk newest_version=$version; fi
    done
    [[ -n $newest ]] && jdks+=("$newest")
fi

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
printf '%-26s %9s %9s %9s %9s %8s %8s %8s %10s %10s %9s %9s\n' "JDK" "off/java" "warm/java" "cpu o/j" "cpu w/j" "java ms" "off ms" "warm ms" "java cpu" "warm cpu" "create ms" "archive"
for jdk in "${jdks[@]}"; do
    name=$(basename "$jdk")
    dir=$work/$name
    mkdir -p "$dir"
    cp "$jar" "$dir/app.jar"
    for side in off on; do
        cp "$launcher" "$dir/$side.bin"
        printf '[Java Runtime Environment]\nMain Class=corvid.bench.StartupWork\nJRE Path=%s\nStartup Cache=%s\n[Class Path]\nClass Path=%s\n[Product Information]\nProduct Name=corvid bench\nProduct Code=%s\n' \
            "$jdk" "$([[ $side == on ]] && echo Yes || echo No)" "$dir/app.jar" "$name" >"$dir/$side.ini"
    done
    java_cmd=("$jdk/bin/java" -cp "$dir/app.jar" corvid.bench.StartupWork)
    # The first cached start creates the archive, the second checks it.
    run_timed "$dir/on.bin"; create=$RUN_US
    run_timed "$dir/on.bin"
    CORVID_TRACE=$work/trace "$dir/on.bin" >/dev/null
    if ! grep -q "startup cache: using" "$work/trace"; then
        echo "$name: the cache is not in use; skipped" >&2
        continue
    fi
    archive=$(ls "$XDG_CACHE_HOME/corvid bench/$name/"*.jsa)
    for _ in 1 2; do "${java_cmd[@]}" >/dev/null; "$dir/off.bin" >/dev/null; "$dir/on.bin" >/dev/null; done

    : >"$work/java"; : >"$work/off"; : >"$work/warm"; : >"$work/off.ratio"; : >"$work/warm.ratio"
    : >"$work/java.cpu"; : >"$work/warm.cpu"; : >"$work/cpu.ratio"; : >"$work/off.cpu.ratio"
    sides=(java off warm)
    for ((round = 0; round < rounds; round++)); do
        for ((k = 0; k < 3; k++)); do
            side=${sides[$(((round + k) % 3))]}
            case $side in
                java) run_timed "${java_cmd[@]}"; j=$RUN_US jc=$RUN_CPU_MS ;;
                off) run_timed "$dir/off.bin"; o=$RUN_US oc=$RUN_CPU_MS ;;
                warm) run_timed "$dir/on.bin"; w=$RUN_US wc=$RUN_CPU_MS ;;
            esac
        done
        echo "$j" >>"$work/java"; echo "$o" >>"$work/off"; echo "$w" >>"$work/warm"
        awk -v a="$o" -v b="$j" 'BEGIN { printf "%.4f\n", a / b }' >>"$work/off.ratio"
        awk -v a="$w" -v b="$j" 'BEGIN { printf "%.4f\n", a / b }' >>"$work/warm.ratio"
        echo "$jc" >>"$work/java.cpu"; echo "$wc" >>"$work/warm.cpu"
        awk -v a="$wc" -v b="$jc" 'BEGIN { if (b > 0) printf "%.4f\n", a / b }' >>"$work/cpu.ratio"
        awk -v a="$oc" -v b="$jc" 'BEGIN { if (b > 0) printf "%.4f\n", a / b }' >>"$work/off.cpu.ratio"
    done
    ms() { median <"$1" | awk '{ printf "%.1f", $1 / 1000 }'; }
    printf '%-26s %9.3f %9.3f %9.3f %9.3f %8s %8s %8s %10s %10s %9.1f %8.1fM\n' "$name" "$(median <"$work/off.ratio")" \
        "$(median <"$work/warm.ratio")" "$(median <"$work/off.cpu.ratio")" "$(median <"$work/cpu.ratio")" "$(ms "$work/java")" "$(ms "$work/off")" \
        "$(ms "$work/warm")" "$(median <"$work/java.cpu")" "$(median <"$work/warm.cpu")" \
        "$(awk -v c="$create" 'BEGIN { print c / 1000 }')" "$(stat -c %s "$archive" | awk '{ print $1 / 1048576 }')"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "($rounds rounds, order rotating. off/java, warm/java: medians of the per-round ratios of wall times against"
echo " java -cp; cpu o/j, cpu w/j: the same for user+system time; ms: median wall time of a start; cpu: median user+system"
echo " ms of a start; create ms: the one start that created the archive; archive: its size)"
