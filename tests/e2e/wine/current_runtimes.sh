# Runtimes registered the way current installers register them, per machine
# and per user, found by corvid.exe under Wine when the legacy roots have
# nothing between the bounds. Every runtime folder holds the test JNI library
# as bin\server\jvm.dll (a Java 8 kit: jre\bin\server\jvm.dll) and, but for
# one, a release file; the library runs a main that prints, so a start that
# finds a runtime ends with 0. The trace tells which runtime was chosen.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm"

# The registry is changed below; keep it away from other suites.
wine_private_prefix
unset JAVA_HOME

app=$E2E_TMP/app
install_launcher "$app/app.exe"
R=$E2E_TMP/rt
WR=$(to_windows_path "$R")
trace=$E2E_TMP/trace.txt
world=$E2E_TMP/world.txt
write_file "$world" "class Main main=print"$'\n'

# runtime FOLDER VERSION|- [LIBRARY_FOLDER] [kit]: a runtime folder with the
# test library, a release file (unless -) and, for a kit, bin\javac.exe.
runtime() {
    local folder=$R/$1 version=$2 lib=${3:-bin/server}
    mkdir -p "$folder/$lib"
    cp "$test_jvm" "$folder/$lib/jvm.dll"
    if [[ $version != - ]]; then
        write_file "$folder/release" "IMPLEMENTOR=\"test\""$'\r\n'"JAVA_VERSION=\"$version\""$'\r\n'
    fi
    if [[ ${4:-} == kit ]]; then write_file "$folder/bin/javac.exe" ""; fi
}
runtime legacy18 1.8.0_60
runtime oracle17 17.0.9 bin/server kit
runtime temurin21 21.0.1 bin/server kit
runtime temurin11jre 11.0.21
runtime semeru17 17.0.8 bin/server kit
runtime ms17 17.0.10 bin/server kit
runtime zulu11 - bin/server kit
runtime zulu8jre 1.8.0_392
runtime sap17 17.0.7 bin/server kit
runtime adopt8 1.8.0_382 jre/bin/server kit
runtime wow25 25
runtime zip23 23.0.1 bin/server kit

esc() { printf '%s' "${WR//\\/\\\\}\\\\$1"; }
M='HKEY_LOCAL_MACHINE\SOFTWARE'
U='HKEY_CURRENT_USER\Software'
write_file "$E2E_TMP/runtimes.reg" "Windows Registry Editor Version 5.00

[$M\\JavaSoft\\Java Runtime Environment\\1.8]
\"JavaHome\"=\"$(esc legacy18)\"

[$M\\JavaSoft\\JDK]
\"CurrentVersion\"=\"21.0.1\"

[$M\\JavaSoft\\JDK\\17]
\"JavaHome\"=\"$(esc oracle17)\"
\"RuntimeLib\"=\"$(esc oracle17)\\\\bin\\\\server\\\\jvm.dll\"

[$M\\JavaSoft\\JDK\\21.0.1]
\"JavaHome\"=\"$(esc temurin21)\"

[$M\\JavaSoft\\JDK\\latest]
\"JavaHome\"=\"$(esc oracle17)\"

[$M\\Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI]
\"Path\"=\"$(esc temurin21)\\\\\"

[$U\\Eclipse Adoptium\\JRE\\11.0.21.9\\hotspot\\MSI]
\"Path\"=\"$(esc temurin11jre)\\\\\"

[$M\\AdoptOpenJDK\\JDK\\8.0.382.5\\hotspot\\MSI]
\"Path\"=\"$(esc adopt8)\\\\\"

[$M\\Semeru\\JDK\\17.0.8.7\\openj9\\MSI]
\"Path\"=\"$(esc semeru17)\\\\\"

[$M\\Microsoft\\JDK\\17.0.10.7\\hotspot\\MSI]
\"Path\"=\"$(esc ms17)\\\\\"

[$M\\Azul Systems\\Zulu\\zulu-11]
\"InstallationPath\"=\"$(esc zulu11)\\\\\"

[$M\\Azul Systems\\Zulu\\zulu-8-jre]
\"InstallationPath\"=\"$(esc zulu8jre)\\\\\"

[$M\\SapMachine\\JDK\\17.0.7]
\"JavaHome\"=\"$(esc sap17)\"

[$M\\SapMachine\\JRE\\17.0.6]
\"JavaHome\"=dword:00000001

[$M\\WOW6432Node\\JavaSoft\\JDK\\25]
\"JavaHome\"=\"$(esc wow25)\"
"
check "regedit loads the registrations" wine regedit /s "$(to_windows_path "$E2E_TMP/runtimes.reg")"

# start "INI LINES" [VAR=value...]: runs the launcher, leaves its trace in TRACE.
start() {
    local ini=$1
    shift
    # With a class path, so that no message box waits for an answer.
    write_file "$app/app.ini" "[Class Path]"$'\r\n'"Class Path=app.jar"$'\r\n'"[Java Runtime Environment]"$'\r\n'"Main Class=Main"$'\r\n'"$ini"$'\r\n'
    rm -f "$trace"
    # A start that finds nothing asks the user; the dialog is answered with Cancel.
    wine_run_jre_dialog CORVID_TRACE="$(to_windows_path "$trace")" CORVID_TEST_JVM_WORLD="$(to_windows_path "$world")" \
        "$@" "$app/app.exe"
    TRACE=$(cat "$trace" 2>/dev/null)
}

chosen() { printf 'registered runtime "%s\\%s": JVM library %s\\%sjvm.dll' "$WR" "$1" "$WR" "$1$2"; }
server='bin\server\'
# name | configuration (\n between lines) | the trace line of the choice
while IFS='|' read -r name ini line; do
    start "$(printf '%b' "$ini" | sed 's/$/\r/')"
    check_contains "$name" "$TRACE" "$line"
    check_equal "$name: the test JVM ran main" 0 "$RUN_STATUS"
done <<TABLE
legacy 1.8 within the bounds wins|Minimum Version=1.8\nMaximum Version=any|$(chosen 'legacy18\' "$server")
newest current one|Minimum Version=11\nMaximum Version=any|$(chosen 'temurin21\' "$server")
Microsoft by its release version|Minimum Version=11\nMaximum Version=20|$(chosen 'ms17\' "$server")
Semeru preferred|Minimum Version=11\nMaximum Version=any\nPreferred versions=17.0.8|$(chosen 'semeru17\' "$server")
SapMachine preferred|Minimum Version=11\nMaximum Version=any\nPreferred versions=17.0.7|$(chosen 'sap17\' "$server")
Zulu by its key name|Minimum Version=11\nMaximum Version=11.0.16|$(chosen 'zulu11\' "$server")
Temurin JRE per user|Minimum Version=11\nMaximum Version=any\nJVM Source=only_JRE|$(chosen 'temurin11jre\' "$server")
Java 8 kit under a current key|Minimum Version=1.8.0_100\nMaximum Version=1.8\nJVM Source=favor_JDK|$(chosen 'adopt8\jre\' "$server")
Zulu 8 JRE|Minimum Version=1.8.0_100\nMaximum Version=1.8\nJVM Source=only_JRE|$(chosen 'zulu8jre\' "$server")
TABLE

start $'Minimum Version=1.8\r\nMaximum Version=any'
check_not_contains "legacy 1.8 within the bounds: current keys not searched" "$TRACE" "searching current runtimes"

start $'Minimum Version=11\r\nMaximum Version=any'
check_contains "legacy below the minimum: dropped first" "$TRACE" 'subkey "1.8" version 1.8.0.0 dropped: below the minimum version'
check_contains "Temurin's JavaSoft key first" "$TRACE" \
    "subkey \"21.0.1\" ($WR\\temurin21\\) version 21.0.1.0 from the release file, kept"
check_contains "its own key then a duplicate" "$TRACE" \
    "subkey \"21.0.1.12\" ($WR\\temurin21\\) dropped: version 21.0.1.0 from the release file, the same folder as HKEY_LOCAL_MACHINE\\Software\\JavaSoft\\JDK\\21.0.1"
check_contains "per-user key searched" "$TRACE" 'key HKEY_CURRENT_USER\Software\Eclipse Adoptium\JRE has 1 subkeys'
check_contains "absent vendor key" "$TRACE" 'key HKEY_LOCAL_MACHINE\Software\Eclipse Foundation\JDK cannot be opened'
check_contains "odd key name" "$TRACE" 'subkey "latest" dropped: not a version key name'
check_contains "value of the wrong type" "$TRACE" 'subkey "17.0.6" dropped: JavaHome is not a string'
check_contains "Zulu version from its name" "$TRACE" \
    "subkey \"zulu-11\" ($WR\\zulu11\\) version 11.0.0.0 from the key name (no release file), kept"
check_contains "Java 8 by its release file" "$TRACE" \
    "subkey \"8.0.382.5\" ($WR\\adopt8\\) dropped: version 1.8.0.382 from the release file, below the minimum version"
check_not_contains "32-bit registrations unseen" "$TRACE" "wow25"
check_contains "JAVA_HOME unset" "$TRACE" "JAVA_HOME is not set, skipped"

start $'Minimum Version=11\r\nMaximum Version=any\r\nVM Provider=jrockit'
check_contains "never under jrockit" "$TRACE" 'key HKEY_LOCAL_MACHINE\Software\JavaSoft\JDK skipped: VM Provider excludes JavaSoft'
check_equal "never under jrockit: nothing found" 255 "$RUN_STATUS"
check_contains "never under jrockit: the user is asked" "$JRE_DIALOG" "Java Runtime Environment"

start $'Minimum Version=11\r\nMaximum Version=any\r\nSearch Current Runtimes=no'
check_contains "switched off" "$TRACE" "current runtimes not searched: switched off"
check_contains "switched off: nothing found" "$TRACE" "no runtime found"
check_equal "switched off: status -1" 255 "$RUN_STATUS"
check_contains "switched off: the user is asked" "$JRE_DIALOG" "Java Runtime Environment"

# With the legacy and current keys gone, JAVA_HOME is what remains.
write_file "$E2E_TMP/remove.reg" "Windows Registry Editor Version 5.00

[-$M\\JavaSoft]
[-$M\\Eclipse Adoptium]
[-$U\\Eclipse Adoptium]
[-$M\\AdoptOpenJDK]
[-$M\\Semeru]
[-$M\\Microsoft\\JDK]
[-$M\\Azul Systems]
[-$M\\SapMachine]
"
check "regedit removes the registrations" wine regedit /s "$(to_windows_path "$E2E_TMP/remove.reg")"
start $'Minimum Version=any\r\nMaximum Version=any' JAVA_HOME="$WR\\zip23"
check_contains "JAVA_HOME when nothing is registered" "$TRACE" "$(chosen 'zip23\' "$server")"
check_contains "JAVA_HOME's version from its release file" "$TRACE" \
    "JAVA_HOME ($WR\\zip23\\) version 23.0.1.0 from the release file, kept: 23.0.1.0 at $WR\\zip23\\ (isServer yes, isFavoured yes)"
check_equal "JAVA_HOME: the test JVM ran main" 0 "$RUN_STATUS"
start $'Minimum Version=any\r\nMaximum Version=any' JAVA_HOME="$WR\\nothing-here"
check_contains "JAVA_HOME without a runtime" "$TRACE" "dropped: version 0.0.0.0 unknown (no release file), no JVM library"
check_equal "JAVA_HOME without a runtime: status -1" 255 "$RUN_STATUS"
check_contains "JAVA_HOME without a runtime: the user is asked" "$JRE_DIALOG" "Java Runtime Environment"
