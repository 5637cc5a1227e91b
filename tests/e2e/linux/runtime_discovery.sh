# Which runtime the Linux launcher finds, read from its trace: runtime trees
# made under a temp folder (CORVID_RUNTIMES), a runtime beside the launcher,
# and Debian's OpenJDK 17 in the real /usr/lib/jvm. The runtimes made here
# hold empty library files, so those starts end with -1 when the library is
# loaded; only the trace's account of the choice is checked.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

unset CORVID_RUNTIMES CORVID_CURRENT_RUNTIMES JAVA_HOME
J=$E2E_TMP/jvms
APP=$E2E_TMP/app
# The configuration file is found by the "." of the launcher's name.
install_launcher "$APP/app.bin"
mkdir -p "$E2E_TMP/cwd"
cd "$E2E_TMP/cwd" || exit 1

runtime() {  # runtime FOLDER VERSION FILE...
    local folder=$1 version=$2
    shift 2
    write_file "$folder/release" "IMPLEMENTOR=\"test\""$'\n'"JAVA_VERSION=\"$version\""$'\n'
    local file
    for file in "$@"; do write_file "$folder/$file" ""; done
}
runtime "$J/jdk-11" 11.0.2 bin/javac lib/server/libjvm.so
ln -s jdk-11 "$J/link-11"
runtime "$J/jre-8" 1.8.0_392 lib/amd64/client/libjvm.so lib/amd64/server/libjvm.so
runtime "$J/jdk-8" 1.8.0_200 bin/javac jre/lib/amd64/server/libjvm.so
write_file "$J/notes/readme" "not a runtime"

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
    start "$(printf '%b' "$ini")" CORVID_RUNTIMES="$J"
    check_contains "$name" "$TRACE" "$chosen"
    check_equal "$name: status -1 (empty library)" 255 "$RUN_STATUS"
done <<TABLE
newest|Minimum Version=1.8\nMaximum Version=any|registered runtime "$J/jdk-11/": JVM library $J/jdk-11/lib/server/libjvm.so
upper bound with fill|Minimum Version=1.8\nMaximum Version=1.8|registered runtime "$J/jre-8/": JVM library $J/jre-8/lib/amd64/client/libjvm.so
server only|Minimum Version=1.8\nMaximum Version=1.8\nJVM Type=server|registered runtime "$J/jre-8/": JVM library $J/jre-8/lib/amd64/server/libjvm.so
preferred kit with jre folder|Minimum Version=any\nMaximum Version=any\nPreferred versions=1.7;1.8.0_200|registered runtime "$J/jdk-8/jre/": JVM library $J/jdk-8/jre/lib/amd64/server/libjvm.so
only_JRE|Minimum Version=any\nMaximum Version=any\nJVM Source=only_JRE|registered runtime "$J/jre-8/": JVM library $J/jre-8/lib/amd64/client/libjvm.so
JRE Path first|Minimum Version=12\nMaximum Version=any\nJRE Path=$J/jre-8|JRE Path "$J/jre-8/": JVM library $J/jre-8/lib/amd64/client/libjvm.so
TABLE

start $'Minimum Version=any\nMaximum Version=any\nVM Provider=any' CORVID_RUNTIMES="$J"
check_contains "link listed once, by its real path" "$TRACE" "$J/link-11: the runtime $J/jdk-11 again, skipped"
check_contains "kit without jre folder is its own runtime" "$TRACE" "($J/jdk-11) kept: 11.0.2.0 at $J/jdk-11/ (isServer yes"
check_contains "folder without release" "$TRACE" "$J/notes: no JAVA_VERSION"
check_contains "no JRockit" "$TRACE" "root Software\\JRockit\\Java Runtime Environment\\ cannot be opened"
check_contains "sorted list" "$TRACE" "  3. 1.8.0.200 at $J/jdk-8/jre/"

# Libraries for another machine (an ELF header's class and e_machine) are
# passed over by the search, and named when "JRE Path" leads to one.
elf_library() {  # elf_library FILE CLASS MACHINE_LOW MACHINE_HIGH
    mkdir -p "${1%/*}"
    { printf '\x7fELF\x'"$2"'\x01'; printf '\0%.0s' {1..10}; printf '\x03\x00\x'"$3"'\x'"$4"; printf '\0%.0s' {1..44}; } >"$1"
}
M=$E2E_TMP/machines
runtime "$M/jdk-20" 20 bin/javac
elf_library "$M/jdk-20/lib/server/libjvm.so" 02 3e 00
runtime "$M/jdk-30-x86" 30 bin/javac
elf_library "$M/jdk-30-x86/lib/server/libjvm.so" 01 03 00
runtime "$M/jdk-31-arm64" 31 bin/javac
elf_library "$M/jdk-31-arm64/lib/server/libjvm.so" 02 b7 00
start $'Minimum Version=any\nMaximum Version=any' CORVID_RUNTIMES="$M"
check_contains "other machines: the fitting one chosen" "$TRACE" "registered runtime \"$M/jdk-20/\": JVM library"
check_contains "other machines: x86 passed over" "$TRACE" "$M/jdk-30-x86/lib/server/libjvm.so is a 32-bit (x86) library"
check_contains "other machines: ARM64 passed over" "$TRACE" "$M/jdk-31-arm64/lib/server/libjvm.so is a 64-bit (ARM64) library"
start "JRE Path=$M/jdk-30-x86" CORVID_RUNTIMES="$M" LC_ALL=C
check_equal "other machine as JRE Path: status -1" 255 "$RUN_STATUS"
check_equal "other machine as JRE Path: named" "app.bin: The Java VM library $M/jdk-30-x86/lib/server/libjvm.so is a 32-bit (x86) library; this launcher needs a 64-bit (x64) one."$'\n' "$RUN_STDERR"

start $'Minimum Version=12\nMaximum Version=any' CORVID_RUNTIMES="$J"
check_equal "none above 12: status -1" 255 "$RUN_STATUS"
check_contains "none above 12: bound named" "$TRACE" "($J/jdk-11) version 11.0.2.0 dropped: below the minimum version"
check_contains "none above 12: no runtime" "$TRACE" "no runtime found"

start $'Minimum Version=1.8\nMaximum Version=any\nJVM Source=only_JRE' CORVID_RUNTIMES="/nonexistent-corvid:$J"
check_contains "missing folder in the list skipped" "$TRACE" "runtime folder /nonexistent-corvid skipped"
check_contains "the next folder searched" "$TRACE" "registered runtime \"$J/jre-8/\""
check_contains "kits skipped by only_JRE" "$TRACE" "skipped: JVM Source excludes development kits"

# A runtime beside the launcher, found by lib/libjava.so in its jre64 folder.
runtime "$APP/jre64" 17 lib/libjava.so lib/server/libjvm.so
start $'Minimum Version=any\nMaximum Version=any\nVM Provider=any' CORVID_RUNTIMES="$J"
check_contains "jre64 beside the launcher" "$TRACE" "beside the executable: \"$APP/jre64/\": JVM library $APP/jre64/lib/server/libjvm.so"
rm -rf "$APP/jre64"
# Without lib/libjava.so the library is still looked for under the
# launcher's folder, never in the current directory.
write_file "$APP/lib/server/libjvm.so" ""
write_file "$E2E_TMP/cwd/lib/server/libjvm.so" ""
start $'Minimum Version=any\nMaximum Version=any\nVM Provider=any' CORVID_RUNTIMES="$J"
check_contains "launcher's folder when nothing is beside" "$TRACE" "beside the executable: \"$APP/\": JVM library $APP/lib/server/libjvm.so"
rm -rf "$APP/lib"
start $'Minimum Version=any\nMaximum Version=any\nVM Provider=any' CORVID_RUNTIMES="$J"
check_contains "never the current directory" "$TRACE" "beside the executable: \"$APP/\": no JVM library"
check_not_contains "never the current directory: not loaded" "$TRACE" "JVM library lib/server/libjvm.so"
rm -rf "$E2E_TMP/cwd/lib"

# The machine's own runtimes: Debian's OpenJDK 17 (other runtimes may be installed too).
debian=/usr/lib/jvm/java-17-openjdk-amd64
if [[ ! -f $debian/lib/server/libjvm.so ]]; then
    fail "Debian's OpenJDK 17" "not installed at $debian"
    exit 1
fi
start $'Minimum Version=17\nMaximum Version=17\nPreferred versions=17'
check_contains "OpenJDK 17 found in /usr/lib/jvm" "$TRACE" "($debian) kept: 17."
if [[ $TRACE =~ registered\ runtime\ \"(/usr/lib/jvm/java-(1\.)?17(\.0)?-openjdk-amd64/)\":\ JVM\ library\ ([^$'\n']*) ]] &&
    [[ ${BASH_REMATCH[4]} == "${BASH_REMATCH[1]}lib/server/libjvm.so" ]]; then
    pass "OpenJDK 17 chosen with its server library"
else
    fail "OpenJDK 17 chosen with its server library" "$TRACE"
fi
start $'Minimum Version=99\nMaximum Version=any'
check_contains "OpenJDK 17 refused below 99" "$TRACE" "($debian) version 17."
if [[ $TRACE =~ \($debian\)\ version\ [0-9.]+\ dropped:\ below\ the\ minimum\ version ]]; then
    pass "refused for the minimum version"
else
    fail "refused for the minimum version" "$TRACE"
fi
check_contains "nothing chosen below 99" "$TRACE" "no runtime found"
check_equal "status -1 below 99" 255 "$RUN_STATUS"
