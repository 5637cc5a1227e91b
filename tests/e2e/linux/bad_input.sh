# What a user or another program can hand the Linux launcher, at its worst:
# configuration files that are huge, binary, UTF-16 without a byte order
# mark, full of NULs or of 100,000-character lines; thousands of arguments
# and stray quotes; environment references that expand to megabytes; runtime
# folders with broken "release" files; executable paths at and past the
# limits. Each start has its expected outcome, none may crash or hang, and no
# file changes: every start is followed by a comparison of checksums.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.so
require_files "$test_jvm"

app=$E2E_TMP/app
rt=$E2E_TMP/rt
install_launcher "$app/app.bin"
mkdir -p "$rt/lib/server" "$E2E_TMP/cwd" "$E2E_TMP/home" "$E2E_TMP/runtimes"
cp "$test_jvm" "$rt/lib/server/libjvm.so"
world=$E2E_TMP/world.txt
log=$E2E_TMP/jvm.log
write_file "$world" "class app/Main main=print"
cd "$E2E_TMP/cwd" || exit 1
# Only the runtimes made here count: none of the host's.
unset JAVA_HOME CORVID_CURRENT_RUNTIMES
export HOME=$E2E_TMP/home XDG_CONFIG_HOME=$E2E_TMP/home/config CORVID_RUNTIMES=$E2E_TMP/runtimes
export CORVID_TEST_JVM_WORLD=$world CORVID_TEST_JVM_LOG=$log LC_ALL=C.UTF-8

good_ini="[Java Runtime Environment]
Main Class=app.Main
JRE Path=$rt
[Class Path]
Class Path=app.jar
"
no_main="app.bin: Main class was not specified in INI file."$'\n'

# Every file the launcher might touch, but the library's log and the trace:
# the suite's tree, and the current folder's files when it lies deeper than
# a path can name.
deep_root=$E2E_TMP/deep
checksums() {
    find "$E2E_TMP" -path "$deep_root" -prune -o -type f ! -path "$log" ! -path "$E2E_TMP/trace" ! -name '.std*' -print0 |
        sort -z | xargs -0 sha256sum
    [[ $PWD == "$deep_root"/* ]] && sha256sum ./*
}

# launch NAME [ENV=value...] PROGRAM [ARGS...]: one start, timed and checked
# for a crash, a hang and changed files; LOG holds the library's log.
launch() {
    local name=$1
    shift
    local before
    before=$(checksums)
    rm -f "$log"
    run_captured "$@"
    LOG=""
    [[ -f $log ]] && LOG=$(<"$log")
    if ((RUN_STATUS == 124 || RUN_STATUS > 128 && RUN_STATUS != 255)); then
        fail "$name: ends by itself" "status $RUN_STATUS" "$RUN_STDERR"
    fi
    check_equal "$name: no file changed" "$before" "$(checksums)"
}

# expect_start NAME ARGUMENT_COUNT: main ran with that many arguments.
expect_start() {
    check_equal "$1: exit 0" 0 "$RUN_STATUS"
    check_contains "$1: main ran" "$RUN_STDERR" "arguments: $2"$'\n'
}

# expect_message NAME TEXT: the start ended with -1 and this one line.
expect_message() {
    check_equal "$1: exit -1" 255 "$RUN_STATUS"
    check_equal "$1: message" "$2" "$RUN_STDERR"
}

# ---- a JVM library in the current directory ---------------------------------
# A downloaded folder that holds lib/server/libjvm.so, started from with no
# runtime anywhere else: the library must not be loaded.
mkdir -p "$E2E_TMP/downloads/lib/server"
cp "$test_jvm" "$E2E_TMP/downloads/lib/server/libjvm.so"
printf '[Java Runtime Environment]\nMain Class=app.Main\n[Class Path]\nClass Path=app.jar\n' >"$app/app.ini"
cd "$E2E_TMP/downloads" || exit 1
launch "library in the current directory" CORVID_TRACE="$E2E_TMP/trace" "$app/app.bin"
check_equal "library in the current directory: never loaded" "" "$LOG"
check_equal "library in the current directory: no runtime, exit -1" 255 "$RUN_STATUS"
check_contains "library in the current directory: looked for beside the launcher" "$(<"$E2E_TMP/trace")" \
    "beside the executable: \"$app/\": no JVM library"
# The same library directly under the launcher's folder is found from anywhere,
# with the runtime's home derived from the full path.
mkdir -p "$app/lib/server"
cp "$test_jvm" "$app/lib/server/libjvm.so"
cd "$E2E_TMP/cwd" || exit 1
launch "library under the launcher's folder" CORVID_TRACE="$E2E_TMP/trace" "$app/app.bin"
expect_start "library under the launcher's folder" 0
check_contains "library under the launcher's folder: its home" "$(<"$E2E_TMP/trace")" "TAV_JVM_HOME=$app"$'\n'
rm -rf "$app/lib" "$E2E_TMP/downloads" "$E2E_TMP/trace"

# ---- configuration files and arguments -------------------------------------
exe=$app/app.bin
good_file=$good_ini
source "$(dirname "${BASH_SOURCE[0]}")/../cases/bad_input.sh"

{ printf '\0\0\0\n'; printf '%s' "$good_ini" | sed 's/^/\x00\x00/;s/$/\x00/'; printf '\0'; } >"$app/app.ini"
launch "NULs around every line" "$app/app.bin"
expect_message "NULs around every line" "$no_main"

printf '%s' "${good_ini/Main Class=app.Main/Main Class=app.Main$'\x01'}" >"$app/app.ini"
sed -i 's/\x01/\x00tail/' "$app/app.ini"
launch "NUL inside the main class" "$app/app.bin"
check_equal "NUL inside the main class: exit -1" 255 "$RUN_STATUS"
check_contains "NUL inside the main class: looked for with the NUL" "$LOG" 'FindClass app/Main\xc0\x80tail'
check_contains "NUL inside the main class: reported" "$RUN_STDERR" "app.bin: Could not find the main class app/Main"

printf '%s' "${good_ini/Main Class=app.Main/Main Class=$long}" >"$app/app.ini"
launch "100,000-character main class" "$app/app.bin"
check_equal "100,000-character main class: exit -1" 255 "$RUN_STATUS"
check_contains "100,000-character main class: looked for whole" "$LOG" "FindClass $long"

printf '%s' "$good_ini" >"$app/app.ini"
launch "unpaired quotes" "$app/app.bin" '"' 'a"b' '""' '"open'
expect_start "unpaired quotes" 4
check_equal "unpaired quotes: unchanged" $'"\na"b\n""\n"open\n' "$RUN_STDOUT"

launch "100,000-character argument" "$app/app.bin" "$long"
expect_start "100,000-character argument" 1

# ---- environment ------------------------------------------------------------
# A variable holds at most 128 KiB on Linux: twenty references to one of
# 100,000 characters make 2 MB.
refs=$(printf '%%BIG%%%.0s' $(seq 1 20))
ini=${good_ini/Class Path=app.jar/Class Path=$refs}
printf '%s' "${ini/JRE Path=$rt/JRE Path=$rt$'\n'Library Path=$refs$'\n'System Path=$refs}" >"$app/app.ini"
launch "references expanding to 2 MB" BIG="$long" "$app/app.bin"
expect_start "references expanding to 2 MB" 0
option=$(grep '^option -Djava.class.path=' <<<"$LOG")
check_equal "references expanding to 2 MB: class path length" $((7 + 18 + 2000000)) "${#option}"

printf '%s' "${good_ini/Class Path=app.jar/Class Path=%SELF%}" >"$app/app.ini"
launch "a reference to itself" SELF="%SELF%" "$app/app.bin"
expect_start "a reference to itself" 0
check_contains "a reference to itself: expanded once" "$LOG" "option -Djava.class.path=%SELF%"$'\n'

# ---- registered runtimes ----------------------------------------------------
printf '%s' "${good_ini/JRE Path=$rt/Minimum Version=any$'\n'Maximum Version=any}" >"$app/app.ini"
mkdir -p "$E2E_TMP/runtimes/"{binary,huge,open,nul}/lib/server
perl_write "$E2E_TMP/runtimes/binary/release" 'join "", map { chr(int rand 256) } 1 .. 4096'
perl_write "$E2E_TMP/runtimes/huge/release" '("x" x 200000) . "\nJAVA_VERSION=\"17\"\n"'
printf 'JAVA_VERSION="17' >"$E2E_TMP/runtimes/open/release"
printf 'JAVA_VERSION="1\0007"\n' >"$E2E_TMP/runtimes/nul/release"
for folder in binary huge open nul; do cp "$test_jvm" "$E2E_TMP/runtimes/$folder/lib/server/libjvm.so"; done
launch "broken release files" CORVID_TRACE="$E2E_TMP/trace" "$app/app.bin"
trace=$(tr '\0' ' ' <"$E2E_TMP/trace")
rm -f "$E2E_TMP/trace"
# folder | why it is no runtime
while IFS='|' read -r folder why; do
    check_contains "broken release files: $why" "$trace" "$E2E_TMP/runtimes/$folder: no JAVA_VERSION"
done <<'TABLE'
binary|binary bytes
huge|longer than a release file can be
open|quote left open
nul|NUL in the version
TABLE
check_contains "broken release files: nothing chosen" "$trace" "no runtime found"
check_equal "broken release files: exit -1" 255 "$RUN_STATUS"
rm -rf "${E2E_TMP:?}/runtimes/"*

# ---- paths ------------------------------------------------------------------
# deep_launcher LENGTH: a copy of the launcher whose full path has exactly
# LENGTH characters, with its configuration, made folder by folder (a path
# past 4096 characters cannot be named at once); the shell is left in its
# folder.
deep_launcher() {
    local length=$1
    mkdir -p "$deep_root/$length"
    cd "$deep_root/$length" || exit 1
    local room=$((length - ${#PWD} - 9)) take  # "/" before the parts, "/app.bin" after
    while ((room > 0)); do
        take=$room
        ((room > 200)) && take=$((room - 2 < 200 ? room - 2 : 200))
        local part
        part=$(printf 'd%.0s' $(seq 1 "$take"))
        mkdir "$part" && cd "$part" || exit 1
        room=$((room - take - 1))
    done
    cp "$CORVID_LAUNCHER" app.bin
    printf '%s' "$good_ini" >app.ini
}
for length in 259 260 261 4095; do
    deep_launcher "$length"
    check_equal "path of $length characters: made" "$length" "$((${#PWD} + 8))"
    launch "path of $length characters" ./app.bin
    expect_start "path of $length characters" 0
    cd "$E2E_TMP/cwd" || exit 1
done
deep_launcher 4200
launch "path of 4,200 characters" ./app.bin
expect_message "path of 4,200 characters" "app.bin: Windows exception: failed to get the module path (errno = 36)."$'\n'
cd "$E2E_TMP/cwd" || exit 1
rm -rf "$deep_root"

jre_path=$E2E_TMP/$(printf 'j%.0s' $(seq 1 5000))
printf '%s' "${good_ini/JRE Path=$rt/JRE Path=$jre_path}" >"$app/app.ini"
launch "JRE Path of 5,000 characters" CORVID_TRACE="$E2E_TMP/trace" "$app/app.bin"
check_equal "JRE Path of 5,000 characters: no runtime, exit -1" 255 "$RUN_STATUS"
check_contains "JRE Path of 5,000 characters: skipped" "$(<"$E2E_TMP/trace")" "JRE Path \"$jre_path/\": no JVM library"
rm -f "$E2E_TMP/trace"
