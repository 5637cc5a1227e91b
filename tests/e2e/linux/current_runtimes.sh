# Runtimes installed the current ways, found by the Linux launcher when its
# runtime folders yield nothing between the bounds: temp trees standing for
# SDKMAN, ~/.jdks and /opt installs (through CORVID_CURRENT_RUNTIMES, and
# through HOME with the default list), and the real OpenJDK 17 through
# JAVA_HOME with the folder lists emptied. The trees hold empty library
# files, so those starts end with -1; only the trace's account is checked.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

unset JAVA_HOME CORVID_RUNTIMES CORVID_CURRENT_RUNTIMES
T=$E2E_TMP/t
APP=$E2E_TMP/app
install_launcher "$APP/app.bin"
mkdir -p "$T/none"

runtime() {  # runtime FOLDER VERSION FILE...
    local folder=$1 version=$2
    shift 2
    write_file "$folder/release" "IMPLEMENTOR=\"test\""$'\n'"JAVA_VERSION=\"$version\""$'\n'"OS_ARCH=\"x86_64\""$'\n'
    local file
    for file in "$@"; do write_file "$folder/$file" ""; done
}
sdk=$T/home/.sdkman/candidates/java
runtime "$sdk/17.0.9-tem" 17.0.9 bin/javac lib/server/libjvm.so
ln -s 17.0.9-tem "$sdk/current"
runtime "$T/home/.jdks/corretto-11.0.21" 11.0.21 bin/javac lib/server/libjvm.so
write_file "$T/home/.jdks/.intellij/readme" "not a runtime"
runtime "$T/opt/java/jre-21" 21.0.1 lib/server/libjvm.so
runtime "$T/opt/zulu-jdk8" 1.8.0_392 bin/javac jre/lib/amd64/server/libjvm.so
runtime "$T/opt/graal-22" 22 lib/server/libjvm.so   # not *jdk*, not under java
mkdir -p "$T/opt/jdk-broken"                          # no release file
patterns="$sdk/*:$T/home/.jdks/*:$T/opt/java/*:$T/opt/*jdk*"

# start "INI LINES" [VAR=value...]: runs the launcher, leaves its trace in TRACE.
start() {
    local ini=$1
    shift
    write_file "$APP/app.ini" "[Java Runtime Environment]"$'\n'"Main Class=Main"$'\n'"$ini"$'\n'
    rm -f "$E2E_TMP/trace"
    run_captured CORVID_TRACE="$E2E_TMP/trace" "$@" "$APP/app.bin"
    TRACE=$(cat "$E2E_TMP/trace" 2>/dev/null)
}

# name | configuration (\n between lines) | the trace line of the choice
while IFS='|' read -r name ini chosen; do
    start "$(printf '%b' "$ini")" CORVID_RUNTIMES="$T/none" CORVID_CURRENT_RUNTIMES="$patterns"
    check_contains "$name" "$TRACE" "$chosen"
    check_equal "$name: status -1 (empty library)" 255 "$RUN_STATUS"
done <<TABLE
newest of all places|Minimum Version=any\nMaximum Version=any|registered runtime "$T/opt/java/jre-21/": JVM library $T/opt/java/jre-21/lib/server/libjvm.so
only kits: SDKMAN|Minimum Version=any\nMaximum Version=any\nJVM Source=only_JDK|registered runtime "$sdk/17.0.9-tem/": JVM library
upper bound: ~/.jdks|Minimum Version=1.8\nMaximum Version=11|registered runtime "$T/home/.jdks/corretto-11.0.21/": JVM library
Java 8 kit in /opt uses its jre|Minimum Version=1.8\nMaximum Version=1.8|registered runtime "$T/opt/zulu-jdk8/jre/": JVM library $T/opt/zulu-jdk8/jre/lib/amd64/server/libjvm.so
preferred version|Minimum Version=any\nMaximum Version=any\nPreferred versions=11|registered runtime "$T/home/.jdks/corretto-11.0.21/"
TABLE

start $'Minimum Version=any\nMaximum Version=any' CORVID_RUNTIMES="$T/none" CORVID_CURRENT_RUNTIMES="$patterns"
check_contains "first stage empty before the second" "$TRACE" "runtime folder $T/none opened, 0 entries"
check_contains "JAVA_HOME unset" "$TRACE" "JAVA_HOME is not set, skipped"
check_contains "SDKMAN folder" "$TRACE" "folder $sdk opened, 2 of 2 entries match \"*\""
check_contains "SDKMAN's current link is an entry of its own" "$TRACE" \
    "$sdk/current/ version 17.0.9.0 from the release file, kept"
check_contains "hidden entries do not match *" "$TRACE" "folder $T/home/.jdks opened, 1 of 2 entries match"
check_contains "/opt filtered by *jdk*" "$TRACE" "folder $T/opt opened, 2 of 4 entries match \"*jdk*\""
check_not_contains "graal not a jdk entry" "$TRACE" "$T/opt/graal-22/"
check_contains "folder without release file" "$TRACE" "$T/opt/jdk-broken/ dropped: no JAVA_VERSION"
check_contains "sorted over all places" "$TRACE" "  5. 1.8.0.392 at $T/opt/zulu-jdk8/jre/"

start $'Minimum Version=12\nMaximum Version=16' CORVID_RUNTIMES="$T/none" CORVID_CURRENT_RUNTIMES="$patterns"
check_contains "none between 12 and 16" "$TRACE" "no runtime found"
check_contains "bounds named" "$TRACE" "$sdk/17.0.9-tem/ dropped: version 17.0.9.0 from the release file, above the maximum version"

start $'Minimum Version=12\nMaximum Version=any\nSearch Current Runtimes=NO' CORVID_RUNTIMES="$T/none" \
    CORVID_CURRENT_RUNTIMES="$patterns"
check_contains "switched off" "$TRACE" "current runtimes not searched: switched off"
check_not_contains "switched off: nothing searched" "$TRACE" "folder $sdk opened"

# CORVID_RUNTIMES alone keeps the machine's own install folders out.
start $'Minimum Version=12\nMaximum Version=any' CORVID_RUNTIMES="$T/none" HOME="$T/home"
check_contains "first list replaced: second list empty" "$TRACE" \
    "CORVID_RUNTIMES is set and CORVID_CURRENT_RUNTIMES is not: no current runtime folders"
check_not_contains "first list replaced: HOME not searched" "$TRACE" "$T/home/.jdks"

# The default list under HOME; nothing on the machine is 30 or later.
runtime "$T/home30/.jdks/jdk-30" 30.0.1 lib/server/libjvm.so
start $'Minimum Version=30\nMaximum Version=any' HOME="$T/home30"
check_contains "default list: ~/.jdks" "$TRACE" "registered runtime \"$T/home30/.jdks/jdk-30/\": JVM library"
check_contains "default list: missing SDKMAN skipped" "$TRACE" "folder $T/home30/.sdkman/candidates/java skipped"

# The real OpenJDK 17 through JAVA_HOME, with both folder lists emptied.
jdk=/usr/lib/jvm/java-17-openjdk-amd64
classes=$CORVID_BUILD_DIR/tests/java/classes
if [[ ! -f $jdk/lib/server/libjvm.so || ! -f $classes/corvid/probe/PrintArgs.class ]]; then
    fail "prerequisites" "needs $jdk and the probe classes in $classes (built by the corvid_java_probes target)"
    exit 1
fi
write_file "$APP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.PrintArgs
Minimum Version=17
Maximum Version=17
[Class Path]
Class Path=$classes
"
rm -f "$E2E_TMP/trace"
run_captured CORVID_TRACE="$E2E_TMP/trace" CORVID_RUNTIMES= CORVID_CURRENT_RUNTIMES= JAVA_HOME="$jdk" \
    LC_ALL=C.UTF-8 "$APP/app.bin" one
TRACE=$(cat "$E2E_TMP/trace" 2>/dev/null)
check_equal "JAVA_HOME's OpenJDK 17 runs the program" $'count 1\n[one]\n' "$RUN_STDOUT"
check_equal "JAVA_HOME's OpenJDK 17: exit 0" 0 "$RUN_STATUS"
# Whatever update the machine has: its release file's digit groups, four of them.
IFS=. read -r v1 v2 v3 v4 _ <<<"$(sed -n 's/^JAVA_VERSION="\(.*\)"/\1/p' "$jdk/release" | tr -cs '0-9\n' '.')"
check_contains "JAVA_HOME: version from its release file" "$TRACE" \
    "JAVA_HOME ($jdk/) version ${v1:-0}.${v2:-0}.${v3:-0}.${v4:-0} from the release file, kept"
check_contains "JAVA_HOME: chosen" "$TRACE" "registered runtime \"$jdk/\": JVM library $jdk/lib/server/libjvm.so"
