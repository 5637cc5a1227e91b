#!/usr/bin/env bash
# What the start-up cache buys: the benchmark application (bench/startup_app,
# built into tests/java/startup_app.jar; about 6,500 loaded classes, 1,200
# of them its own) started round-robin, the order rotating each round, on
# JDK 17 and on the newest other JDK in /usr/lib/jvm (or those in JDKS):
#
#   java      java -cp
#   hand      java -cp with a hand-made dynamic archive (-XX:SharedArchiveFile)
#   handaot   java -cp with a hand-made AOT cache (record, create, -XX:AOTCache; 25 and later)
#   off       the launcher without the cache
#   warm      the launcher mapping its dynamic archive (on 25 its AOT record is
#             marked refused, so it stays with the archive)
#   warmaot   the launcher mapping its AOT cache (25 and later)
#
# Prints per JDK and side the median of the per-round ratios against
# `java -cp` (wall and CPU time), the median wall and CPU times, then the
# sizes, the creating and the recording start and the detached build.
# Figures, not a test.
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
main=corvid.bench.StartupWork

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
ms() { awk -v u="$1" 'BEGIN { printf "%.0f", u / 1000 }'; }
mib() { stat -c %s "$1" | awk '{ printf "%.1f", $1 / 1048576 }'; }

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

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $rounds rounds"
printf '%-26s %-8s %9s %9s %8s %8s\n' "JDK" "side" "wall/java" "cpu/java" "wall ms" "cpu ms"
notes=()
for jdk in "${jdks[@]}"; do
    name=$(basename "$jdk")
    version=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")
    dir=$work/$name
    folder="$XDG_CACHE_HOME/corvid bench/$name"
    mkdir -p "$dir"
    cp "$jar" "$dir/app.jar"
    for side in off dyn aot; do
        cp "$launcher" "$dir/$side.bin"
        printf '[Java Runtime Environment]\nMain Class=%s\nJRE Path=%s\nStartup Cache=%s\n[Class Path]\nClass Path=%s\n[Product Information]\nProduct Name=corvid bench\nProduct Code=%s\n' \
            "$main" "$jdk" "$([[ $side == off ]] && echo No || echo Yes)" "$dir/app.jar" "$name" >"$dir/$side.ini"
    done
    java=("$jdk/bin/java" -cp "$dir/app.jar")
    sides=(java hand off warm)

    # Hand-made: a dynamic archive, and on 25+ an AOT cache.
    "${java[@]}" -XX:ArchiveClassesAtExit="$dir/hand.jsa" "$main" >/dev/null 2>&1
    if ((version >= 25)); then
        "${java[@]}" -XX:AOTMode=record -XX:AOTConfiguration="$dir/hand.aotconf" "$main" >/dev/null 2>&1
        "${java[@]}" -XX:AOTMode=create -XX:AOTConfiguration="$dir/hand.aotconf" -XX:AOTCache="$dir/hand.aot" >/dev/null 2>&1
        sides+=(handaot warmaot)
    fi

    # The launcher: the first start creates the archive, the second checks it.
    run_timed "$dir/dyn.bin"; create=$RUN_US
    run_timed "$dir/dyn.bin"
    archive=$(ls "$folder/dyn-"*.jsa)
    # dyn stays with its archive on 25 and later: its AOT record says refused.
    ((version >= 25)) && sed 's/^state .*/state refused/' "$archive.meta" >"${archive%.jsa}.aot.meta"
    CORVID_TRACE=$work/trace "$dir/dyn.bin" >/dev/null
    if ! grep -q "startup cache: using" "$work/trace"; then
        echo "$name: the cache is not in use; skipped" >&2
        continue
    fi
    note="$name: archive $(mib "$archive") MB (hand-made $(mib "$dir/hand.jsa") MB), creating start $(ms "$create") ms"
    if ((version >= 25)); then
        run_timed "$dir/aot.bin"; run_timed "$dir/aot.bin"
        run_timed "$dir/aot.bin"; record=$RUN_US
        built_from=$EPOCHREALTIME
        for _ in $(seq 1200); do compgen -G "$folder/aot-*.aot" >/dev/null && ! compgen -G "$folder/aot-*.build" >/dev/null && break; sleep 0.1; done
        built=$((${EPOCHREALTIME/./} - ${built_from/./}))
        run_timed "$dir/aot.bin"
        CORVID_TRACE=$work/trace.aot "$dir/aot.bin" >/dev/null
        grep -q "startup cache: using aot-.*\.aot" "$work/trace.aot" || { echo "$name: the AOT cache is not in use" >&2; exit 1; }
        aot=$(ls "$folder/aot-"*.aot)
        note+=", AOT cache $(mib "$aot") MB (hand-made $(mib "$dir/hand.aot") MB), recording start $(ms "$record") ms, detached build $(ms "$built") ms until the cache was there"
    fi
    notes+=("$note")

    run_side() {
        case $1 in
            java) run_timed "${java[@]}" "$main" ;;
            hand) run_timed "${java[@]}" -XX:SharedArchiveFile="$dir/hand.jsa" "$main" ;;
            handaot) run_timed "${java[@]}" -XX:AOTCache="$dir/hand.aot" "$main" ;;
            off) run_timed "$dir/off.bin" ;;
            warm) run_timed "$dir/dyn.bin" ;;
            warmaot) run_timed "$dir/aot.bin" ;;
        esac
    }
    for side in "${sides[@]}"; do run_side "$side"; : >"$work/$side.wall"; : >"$work/$side.cpu"; : >"$work/$side.rw"; : >"$work/$side.rc"; done
    count=${#sides[@]}
    for ((round = 0; round < rounds; round++)); do
        declare -A wall=() cpu=()
        for ((k = 0; k < count; k++)); do
            side=${sides[$(((round + k) % count))]}
            run_side "$side"
            wall[$side]=$RUN_US cpu[$side]=$RUN_CPU_MS
        done
        for side in "${sides[@]}"; do
            echo "${wall[$side]}" >>"$work/$side.wall"; echo "${cpu[$side]}" >>"$work/$side.cpu"
            awk -v a="${wall[$side]}" -v b="${wall[java]}" 'BEGIN { printf "%.4f\n", a / b }' >>"$work/$side.rw"
            awk -v a="${cpu[$side]}" -v b="${cpu[java]}" 'BEGIN { if (b > 0) printf "%.4f\n", a / b }' >>"$work/$side.rc"
        done
    done
    for side in "${sides[@]}"; do
        printf '%-26s %-8s %9.3f %9.3f %8.0f %8.0f\n' "$name" "$side" "$(median <"$work/$side.rw")" "$(median <"$work/$side.rc")" \
            "$(median <"$work/$side.wall" | awk '{ print $1 / 1000 }')" "$(median <"$work/$side.cpu")"
    done
done
for note in "${notes[@]}"; do echo "$note"; done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(wall/java, cpu/java: medians of the per-round ratios against java -cp of the same round; wall ms, cpu ms:"
echo " median wall and user+system time of a start)"
