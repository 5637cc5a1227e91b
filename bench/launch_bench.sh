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

# Milliseconds a command takes, from bash's own clock (no extra process).
elapsed_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }'
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

printf '%-40s %7s %12s %12s %16s\n' "JDK" "ratio" "java ms" "launcher ms" "to CreateJavaVM"
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
    for ((round = 0; round < rounds; round++)); do
        if ((round % 2 == 0)); then
            j=$(elapsed_ms "${java_cmd[@]}"); l=$(elapsed_ms "$app")
        else
            l=$(elapsed_ms "$app"); j=$(elapsed_ms "${java_cmd[@]}")
        fi
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

    printf '%-40s %7.3f %12.1f %12.1f %13.2f ms\n' "$name" "$(median <"$work/ratio")" \
        "$(median <"$work/java.ms")" "$(median <"$work/launcher.ms")" "$(median <"$work/create.ms")"
done
echo "($rounds rounds each; ratio = median of launcher/java per round; the last column is from the launcher's trace)"
