# corvid.exe under Wine with the start-up cache on, hosting the test JVM
# library (which writes and "maps" archives as a JVM does; see its README):
# the options that reach JNI_CreateJavaVM on the first, second and third
# start, the files under %LOCALAPPDATA%, System.exit, files of other programs
# there, and the starts that keep out of the cache.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm"

app=$E2E_TMP/app
install_launcher "$app/app.exe"
: >"$app/app.jar"
log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt
# The launcher's own path comes after the configured options, what it sets
# as java does last, and the option that keeps the JVM quiet about the
# rebound input arguments first.
executable="-Dcorvid.executable=$(win "$app")\\app.exe"
standard="-Dsun.java.launcher=SUN_STANDARD"
quiet="-Xlog:jni+resolve=off"

runtime=$E2E_TMP/rt
mkdir -p "$runtime/bin/server" "$runtime/lib"
cp "$test_jvm" "$runtime/bin/server/jvm.dll"
: >"$runtime/bin/server/classes.jsa"
printf 'IMPLEMENTOR="corvid"\r\nJAVA_VERSION="17.0.9"\r\n' >"$runtime/release"

code="c$$"
local_app_data=$(wine_run cmd /c echo %LOCALAPPDATA% >/dev/null; printf '%s' "${RUN_STDOUT%$'\r\n'}")
unix_local=$(winepath -u "$local_app_data" 2>/dev/null)
folder="${unix_local%/}/Cache Test/$code/corvid-cache"
trap_cleanup() { rm -rf "${unix_local%/}/Cache Test"; }

# configure KEY [MAIN_STEPS [PRODUCT_NAME]]
configure() {
    printf '%s\r\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(win "$runtime")" \
        "Startup Cache=$1" "Virtual Machine Parameters=-Xmx64m" "[Class Path]" "Class Path=$(win "$app")\\app.jar" \
        "[Product Information]" "Product Name=${3-Cache: Test}" "Product Code=$code" >"$app/app.ini"
    printf 'management\nclass app/Main main=inputs,%s\n' "${2:-print}" >"$world"
}
launch() {
    rm -f "$log"
    wine_run CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" "$app/app.exe" "$@"
    LOG=$(cat "$log" 2>/dev/null)
}
log_options() { grep '^option ' <<<"$LOG" | sed 's/^option //'; }
# What the program reads as the JVM's options: the configured ones in every mode.
input_arguments() { grep '^input argument ' <<<"$LOG" | sed 's/^input argument //'; }
configured=$(printf '%s\n' "-Xmx64m" "$executable")
in_folder() { (cd "$folder" 2>/dev/null && ls -1 | sed 's/app-[0-9a-f]\{16\}/app-H/; s/\.[0-9]*\.tmp/.P.tmp/' | tr '\n' ' '); }
windows_folder="${local_app_data%\\}\\Cache Test\\$code\\corvid-cache"

if [[ -z $unix_local || ! -d $unix_local ]]; then
    fail "LOCALAPPDATA" "Wine's %LOCALAPPDATA% ($local_app_data) is no folder"
    exit 1
fi

configure Yes
launch one
check_equal "first start: exit 0" 0 "$RUN_STATUS"
options=$(log_options)
temporary=$(sed -n 's/^-XX:ArchiveClassesAtExit=//p' <<<"$options")
check_equal "first start: the cache's options after the configured ones" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\app.jar" "-Xmx64m" "$executable" "-Dsun.java.command=app.Main one" "$standard" "-Xshare:auto" "-Xlog:cds*=off" \
        "-XX:ArchiveClassesAtExit=$temporary")" "$options"
if [[ $temporary =~ ^"$windows_folder"\\app-[0-9a-f]{16}\.[0-9]+\.tmp$ ]]; then
    pass "first start: the archive is made under %LOCALAPPDATA%\\Cache Test\\$code\\corvid-cache"
else
    fail "first start: the archive is made under %LOCALAPPDATA%\\Cache Test\\$code\\corvid-cache" "$temporary"
fi
check_contains "first start: the JVM wrote it" "$LOG" "archive written"
check_equal "first start: temporary archive and its record, no marker left" "app-H.P.tmp app-H.P.tmp.meta " "$(in_folder)"
check_equal "first start: the program sees the configured options only" "$configured" "$(input_arguments)"
check_contains "first start: the record says complete" "$(cat "$folder"/*.tmp.meta 2>/dev/null)" $'state complete\nsize 4096\n'

launch two
options=$(log_options)
archive=${temporary%.*.tmp}.jsa
check_equal "second start: checks it once with verification, its cds log in the cache folder" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\app.jar" "-Xmx64m" "$executable" "-Dsun.java.command=app.Main two" "$standard" "-Xshare:auto" "-Xlog:cds*=off" \
        "-XX:SharedArchiveFile=$archive" "-XX:+VerifySharedSpaces" \
        "-Xlog:cds=info:file=\"${archive%.jsa}.PID.log\"::filecount=0")" \
    "$(sed 's/\.[0-9]*\.log"::filecount=0$/.PID.log"::filecount=0/' <<<"$options")"
check_contains "second start: mapped the archive" "$LOG" "archive mapped $archive"
check_equal "second start: the program sees the configured options only" "$configured" "$(input_arguments)"
check_equal "second start: the archive and its record remain" "app-H.jsa app-H.jsa.meta " "$(in_folder)"
check_contains "second start: the record says checked" "$(cat "$folder"/*.jsa.meta 2>/dev/null)" $'state checked\nsize 4096\n'

configure Yes exit:5
launch three
options=$(log_options)
check_equal "third start: System.exit's code" 5 "$RUN_STATUS"
check_equal "third start: maps the archive, no verification" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\app.jar" "-Xmx64m" "$executable" "-Dsun.java.command=app.Main three" "$standard" "-Xshare:auto" "-Xlog:cds*=off" \
        "-XX:SharedArchiveFile=$archive")" "$options"
check_contains "third start: the exit hook ran" "$LOG" "exit hook 5"
check_equal "third start: the program sees the configured options only" "$configured" "$(input_arguments)"
check_equal "third start: the marker is cleared by the hook" "app-H.jsa app-H.jsa.meta " "$(in_folder)"

# A runtime of version 25: once the archive is in use, a start records the AOT
# configuration and a detached, windowless copy of the launcher builds the
# cache at low priority; the next start checks it, the one after maps it.
printf 'IMPLEMENTOR="corvid"\r\nJAVA_VERSION="25.0.3"\r\n' >"$runtime/release"
code="aot$$"
folder="${unix_local%/}/Cache Test/$code/corvid-cache"
windows_folder="${local_app_data%\\}\\Cache Test\\$code\\corvid-cache"
configure Yes
launch one; launch two; launch three
check_equal "25, third start: exit 0" 0 "$RUN_STATUS"
check_contains "25, third start: records" "$(log_options)" "-XX:AOTMode=record"
check_equal "25, third start: the program sees the configured options only" "$configured" "$(input_arguments)"
for _ in $(seq 120); do compgen -G "$folder/*.aot" >/dev/null && ! compgen -G "$folder/*.build" >/dev/null && break; sleep 0.5; done
build_log=$(cat "$log" 2>/dev/null)
check_contains "25, build: the create step with the recorded configuration" "$build_log" "option -XX:AOTMode=create"
check_contains "25, build: detached, windowless, below normal priority, no standard output" \
    "$(grep '^aot create' <<<"$build_log")" "aot create console=none priority=16384 stdout=none"
check_equal "25, build: the cache under %LOCALAPPDATA%, the configuration gone" \
    "app-H.aot app-H.aot.meta app-H.jsa app-H.jsa.meta " "$(in_folder)"
launch four
check_contains "25, fourth start: checks the AOT cache" "$LOG" "aot cache mapped $windows_folder\\app-"
launch five
check_equal "25, fifth start: maps it" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\app.jar" "-Xmx64m" "$executable" "-Dsun.java.command=app.Main five" "$standard" \
        "-Xlog:cds*=off" "-Xlog:aot*=off" \
        "-XX:AOTCache=$(sed -n 's/^-XX:AOTCache=//p' <<<"$(log_options)")")" "$(log_options)"
check_contains "25, fifth start: from %LOCALAPPDATA%" "$(log_options)" "-XX:AOTCache=$windows_folder\\app-"
check_equal "25, fifth start: the program sees the configured options only" "$configured" "$(input_arguments)"
printf 'IMPLEMENTOR="corvid"\r\nJAVA_VERSION="17.0.9"\r\n' >"$runtime/release"

# A runtime without a release file, and the key off: exactly today's start.
mv "$runtime/release" "$runtime/release.off"
launch four
check_equal "no release file: only the configured options" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\app.jar" "-Xmx64m" "$executable" "-Dsun.java.command=app.Main four" "$standard")" "$(log_options)"
mv "$runtime/release.off" "$runtime/release"

code="off$$"
folder="${unix_local%/}/Cache Test/$code"
configure no
launch five
check_equal "key off: only the configured options" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\app.jar" "-Xmx64m" "$executable" "-Dsun.java.command=app.Main five" "$standard")" "$(log_options)"
check "key off: no cache folder" test ! -e "$folder"

# Empty product names: the cache's folder is a level of its own in
# %LOCALAPPDATA%, where other programs keep files of their own; in the
# folder, only names of the cache's exact form are the launcher's.
code=""
folder="${unix_local%/}/corvid-cache"
mkdir -p "$folder"
planted=()
for place in "${unix_local%/}" "$folder"; do
    printf 'notes\r\n' >"$place/app-notes.20240301.log"
    printf 'backup\r\n' >"$place/app-backup.1999.tmp"
    printf 'app-notes.20240301.log' >"$place/app-session.99999.start"
    planted+=("$place/app-notes.20240301.log" "$place/app-backup.1999.tmp" "$place/app-session.99999.start")
done
printf 'app-backup.1999.tmp' >"$folder/app-0123456789abcdef.99999.start"
configure Yes print ""
launch six
check_equal "empty product names: exit 0" 0 "$RUN_STATUS"
check_contains "empty product names: the archive is made in a folder of its own" "$(log_options)" \
    "-XX:ArchiveClassesAtExit=${local_app_data%\\}\\corvid-cache\\app-"
launch seven
check_contains "empty product names, second start: maps the archive" "$LOG" \
    "archive mapped ${local_app_data%\\}\\corvid-cache\\app-"
missing=""
for file in "${planted[@]}"; do [[ -f $file ]] || missing+=" $file"; done
check_equal "empty product names: every file of other programs is still there" "" "$missing"
check "empty product names: the cache's own marker of the ended start is gone" \
    test ! -e "$folder/app-0123456789abcdef.99999.start"
rm -rf "$folder" "${unix_local%/}/app-notes.20240301.log" "${unix_local%/}/app-backup.1999.tmp" \
    "${unix_local%/}/app-session.99999.start"

trap_cleanup
