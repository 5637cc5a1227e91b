#!/usr/bin/env bash
# What the splash screen costs and how soon it is up, printed, not judged:
#
#   Wine (corvid.exe with the test JVM, a BMP splash): the time from the
#   process's creation to the first painted frame (the WM_PAINT that copies
#   the bitmap, as the launcher traces it), and for a main that returns at
#   once the wall time with and without a splash, and the main thread's own
#   time in the run phase's splash step and in teardown's close.
#   Linux (the system's OpenJDK 17, its splash library): the time from the
#   launcher's start to the library's window being mapped (polled with
#   xwininfo, a few milliseconds of resolution), and the wall time of a
#   program that returns at once, with and without a splash.
#
#   bench/splash_bench.sh [WINDOWS_BUILD] [LINUX_BUILD] [ROUNDS]
#       (defaults build/windows, build/linux, 10; a missing build is skipped)
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
windows_build=${1:-$here/../build/windows}
linux_build=${2:-$here/../build/linux}
rounds=${3:-10}
work=$(mktemp -d "${TMPDIR:-/tmp}/corvid-splash-bench-XXXXXX")
# shellcheck source=../tests/e2e/wine_env.sh
source "$here/../tests/e2e/wine_env.sh"
xvfb=""
cleanup() {
    wine_env_stop
    [[ -z $xvfb ]] || kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now_us() { echo "${EPOCHREALTIME/./}"; }
# trace_gap FILE FROM TO: milliseconds between the first trace lines that contain FROM and TO.
trace_gap() {
    awk -v from="$2" -v to="$3" 'index($0, from) && a == "" { a = $1 } index($0, to) && a != "" && b == "" { b = $1 }
        END { if (a != "" && b != "") printf "%.3f\n", b - a }' "$1"
}
picture() { convert -size 400x300 "xc:rgb(192,48,32)" -fill "rgb(32,160,64)" -draw "rectangle 0,0 199,149" "$@"; }

wine_part() {
    local exe=$windows_build/src/corvid.exe jvm=$windows_build/tests/support/test_jvm/corvid_test_jvm.dll
    [[ -f $exe && -f $jvm ]] || { echo "wine: no build at $windows_build, skipped"; return; }
    wine_env_start "$work/wine" || { echo "wine: could not set up Wine"; return; }
    local app=$work/wapp rt=$work/wrt
    mkdir -p "$app" "$rt/bin/server"
    cp "$exe" "$app/app.exe"
    cp "$jvm" "$rt/bin/server/jvm.dll"
    picture BMP3:"$app/splash.bmp"
    local rtw
    rtw=$(winepath -w "$rt" 2>/dev/null)
    ini() { printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$rtw" "[Class Path]" "Class Path=a.jar" "[Display]" "$1" >"$app/app.ini"; }
    run() { # WORLD TRACE
        printf '%s\n' "$1" >"$work/world.txt"
        rm -f "$2"
        (cd "$app" && CORVID_TEST_JVM_WORLD="$(winepath -w "$work/world.txt")" CORVID_TRACE="$(winepath -w "$2")" \
            timeout 30 wine app.exe >/dev/null 2>&1 </dev/null)
    }
    local i paint=() stamp=() with=() without=() step_with=() step_without=() close=()
    ini "Splash Screen=splash.bmp"
    for ((i = 0; i < rounds; i++)); do
        run "class app/Main main=sleep:300" "$work/t.txt"
        paint+=("$(sed -n 's/.*first frame painted (\([0-9.]*\) ms after the process was created).*/\1/p' "$work/t.txt")")
        stamp+=("$(awk '/first frame painted/ { print $1 }' "$work/t.txt")")
    done
    for ((i = 0; i < rounds; i++)); do
        for splash in yes no; do
            [[ $splash == yes ]] && ini "Splash Screen=splash.bmp" || ini "Splash Screen="
            local start end
            start=$(now_us)
            run "class app/Main main=return" "$work/t.txt"
            end=$(now_us)
            local step
            step=$(trace_gap "$work/t.txt" "JVM library" "TAV_JVM_PATH")
            if [[ $splash == yes ]]; then
                with+=($(((end - start) / 1000)))
                step_with+=("$step")
                close+=("$(trace_gap "$work/t.txt" "DetachCurrentThread" "DestroyJavaVM:")")
            else
                without+=($(((end - start) / 1000)))
                step_without+=("$step")
            fi
        done
    done
    echo "wine: first frame painted, ms after the process was created: median $(printf '%s\n' "${paint[@]}" | median)" \
        "(min $(printf '%s\n' "${paint[@]}" | sort -g | head -1), max $(printf '%s\n' "${paint[@]}" | sort -g | tail -1));" \
        "on the launcher's own clock: median $(printf '%s\n' "${stamp[@]}" | median) ms"
    echo "wine: main returns at once: wall ms with splash $(printf '%s\n' "${with[@]}" | median)," \
        "without $(printf '%s\n' "${without[@]}" | median) (medians of $rounds)"
    echo "wine: main thread from runtime chosen to environment set (the splash step): with $(printf '%s\n' "${step_with[@]}" | median) ms," \
        "without $(printf '%s\n' "${step_without[@]}" | median) ms; teardown's close (thread end awaited): $(printf '%s\n' "${close[@]}" | median) ms"
    wine_env_stop
}

linux_part() {
    local exe=$linux_build/src/corvid classes=$linux_build/tests/java/classes jdk=/usr/lib/jvm/java-17-openjdk-amd64
    [[ -x $exe && -f $classes/corvid/probe/PrintArgs.class && -f $jdk/lib/libsplashscreen.so ]] ||
        { echo "linux: no build at $linux_build or no splash library, skipped"; return; }
    _WINE_ENV_DIR=$work/x
    mkdir -p "$_WINE_ENV_DIR"
    _wine_env_start_xvfb || { echo "linux: no display"; return; }
    xvfb=$_WINE_ENV_XVFB
    local app=$work/lapp
    mkdir -p "$app"
    cp "$exe" "$app/app"
    picture "$app/splash.png"
    ini() { printf '%s\n' "[Java Runtime Environment]" "Main Class=$1" "JRE Path=$jdk" "[Class Path]" "Class Path=$classes" "[Display]" "$2" >"$app/app.ini"; }
    local i mapped=() with=() without=()
    ini corvid.probe.Splash "Splash Screen=splash.png"
    for ((i = 0; i < rounds; i++)); do
        local start t
        start=$(now_us)
        (cd "$app" && ./app "$work/seen" 800 >/dev/null 2>&1 &)
        t=""
        for _ in $(seq 1 2000); do
            if [[ $(xwininfo -root -children -display "$DISPLAY" | sed -n 's/^ *\([0-9]*\) child.*/\1/p') != 0 ]]; then
                t=$((($(now_us) - start) / 1000))
                break
            fi
        done
        mapped+=("$t")
        sleep 1.2
    done
    for ((i = 0; i < rounds; i++)); do
        for splash in yes no; do
            [[ $splash == yes ]] && ini corvid.probe.PrintArgs "Splash Screen=splash.png" || ini corvid.probe.PrintArgs "Splash Screen="
            local start end
            start=$(now_us)
            (cd "$app" && ./app >/dev/null 2>&1)
            end=$(now_us)
            if [[ $splash == yes ]]; then with+=($(((end - start) / 1000))); else without+=($(((end - start) / 1000))); fi
        done
    done
    echo "linux: library window mapped, ms after the launcher was started: median $(printf '%s\n' "${mapped[@]}" | median)" \
        "(min $(printf '%s\n' "${mapped[@]}" | sort -g | head -1), max $(printf '%s\n' "${mapped[@]}" | sort -g | tail -1))"
    echo "linux: main returns at once: wall ms with splash $(printf '%s\n' "${with[@]}" | median)," \
        "without $(printf '%s\n' "${without[@]}" | median) (medians of $rounds)"
}

echo "splash bench: $rounds rounds, load average $(cut -d' ' -f1-3 /proc/loadavg)"
wine_part
linux_part
