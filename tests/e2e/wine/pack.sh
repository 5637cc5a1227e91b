# corvid-pack's Windows installer under Wine: an MSI made on Linux (the Linux
# build's corvid-pack, beside this Windows build, with wixl and msibuild)
# installs silently per user, its shortcuts lead to the application and start
# it (the test JVM library records the start), its file association is
# registered, 1.0.1 replaces 1.0.0 with one Add/Remove entry, 1.0.0 is then
# refused, and the uninstall leaves the files and registry as they were but
# for the user's own files. Per machine, a document opened through the shell
# reaches main with its path, and a second one the running instance. Wine
# applies no shortcut's App User Model ID, so that is read from the MSI.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

linux_build=${CORVID_LINUX_BUILD_DIR:-$CORVID_BUILD_DIR/../linux}
pack=$linux_build/src/corvid-pack
test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$pack" "$test_jvm" "$CORVID_BUILD_DIR/src/corvid.exe" "$CORVID_UIDRIVER"
for tool in wixl msibuild msiinfo iconv; do
    if ! command -v "$tool" >/dev/null; then
        fail "needs $tool" "tools/setup.sh installs it"
        exit 1
    fi
done

# The installs change the registry and the profile.
wine_private_prefix
# No menu entries or desktop files for this machine's own desktop.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
profile=$WINEPREFIX/drive_c/users/${USER:-$(id -un)}
# The prefix's Desktop is a link to the home folder: a folder of its own.
rm -f "$profile/Desktop"
mkdir -p "$profile/Desktop" "$profile/AppData/Local/Programs"
local_data=$(wine cmd /c 'echo %LOCALAPPDATA%' </dev/null 2>/dev/null | tr -d '\r\n')
app_data=$(wine cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null | tr -d '\r\n')
installed="$local_data\\Programs\\PackTest"
installed_unix=$profile/AppData/Local/Programs/PackTest
start_menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"

input=$E2E_TMP/input
write_file "$input/app.jar" "not really a jar"
write_file "$input/lib/library.jar" "nor this"
write_file "$input/docs/read me.txt" "hello"
mkdir -p "$input/plugins"
runtime=$E2E_TMP/runtime
write_file "$runtime/bin/java.dll" ""
mkdir -p "$runtime/bin/server"
cp "$test_jvm" "$runtime/bin/server/jvm.dll"
log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt
stop=$E2E_TMP/stop
jvm_env=(CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")"
    CORVID_TEST_JVM_STOP="$(win "$stop")")
FIRST_PID=""
kill_at_exit FIRST_PID

# make_msi NAME VERSION [OPTIONS...]: the installer in $E2E_TMP/out, its path in MSI.
make_msi() {
    local name=$1 version=$2
    shift 2
    run_captured "$pack" --name "$name" --vendor "Example Ltd" --main-class app.Main --input "$input" \
        --runtime "$runtime" --app-version "$version" --launcher-dir "$CORVID_BUILD_DIR/src" --type msi \
        --dest "$E2E_TMP/out" "$@"
    check_equal "make $name $version: exit code" 0 "$RUN_STATUS"
    check_equal "make $name $version: says nothing on standard error" "" "$RUN_STDERR"
    MSI=$E2E_TMP/out/$name-$version.msi
    check_equal "make $name $version: names what it made" "$MSI"$'\n' "$RUN_STDOUT"
}

# msiexec ARGS...: Windows Installer, silent.
msiexec() {
    E2E_TIMEOUT=120 wine_run msiexec "$@" /qn
}

# The files of the prefix (but Wine's own) and its registry, to compare
# before the install and after the uninstall. Windows Installer makes its
# own folders and keys on first use, as every real Windows has them: their
# names do not count, but anything left in them does.
installer_infrastructure='\./users/[^/]*/AppData/Roaming/Microsoft/Installer|\./windows/Installer|'\
'\[HKEY_CURRENT_USER\\Software\\Microsoft\\Installer(\\(Features|Products|UpgradeCodes))?\]|'\
'\[HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer(\\(Features|Products|UpgradeCodes))?\]|'\
'\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\'\
'(UpgradeCodes|UserData(\\S-1-5-[0-9-]+(\\(Components|Products))?)?)\]'
snapshot() {
    (
        cd "$WINEPREFIX/drive_c" || exit 1
        find . \( -path ./windows -o -path "./users/*/Temp" \) -prune -o -print
        find ./windows/Installer 2>/dev/null
        local hive
        for hive in HKCU 'HKLM\Software'; do
            timeout 60 wine reg export "$hive" "$E2E_TMP/hive.reg" /y >/dev/null 2>&1 </dev/null
            # Without Wine's own settings, which its windows change.
            iconv -f UTF-16LE -t UTF-8 "$E2E_TMP/hive.reg" | tr -d '\r' |
                awk '/^\[/ { wine = index($0, "[HKEY_CURRENT_USER\\Software\\Wine") == 1 } !wine'
        done
    ) | grep -v -x -E "|#time=.*|$installer_infrastructure"
}

# uninstall_entries: the Add/Remove Programs entries named PackTest, as
# "version publisher" lines (Wine keeps per-user ones under HKLM as well).
uninstall_entries() {
    local hive
    for hive in HKCU HKLM; do
        timeout 60 wine reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s </dev/null 2>/dev/null |
            tr -d '\r' | awk '/^HKEY_/ { if (name == "PackTest") print version " " publisher; name = ""; version = ""; publisher = "" }
                $1 == "DisplayName" { $1 = $2 = ""; sub(/^ +/, ""); name = $0 }
                $1 == "DisplayVersion" { version = $3 }
                $1 == "Publisher" { $1 = $2 = ""; sub(/^ +/, ""); publisher = $0 }
                END { if (name == "PackTest") print version " " publisher }'
    done
}

registry_value() {
    timeout 60 wine reg query "$1" /ve </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'
}

# ---- corvid-pack.exe itself --------------------------------------------------------
touch -d '2022-02-03 04:05:06' "$input/app.jar"
pack_exe=$CORVID_BUILD_DIR/src/corvid-pack.exe
wine_run LC_ALL=C.UTF-8 "$pack_exe" --name WinPack --main-jar app.jar --input "$(win "$input")" \
    --launcher-dir "$(win "$CORVID_BUILD_DIR/src")" --type zip --dest "$(win "$E2E_TMP/winout")"
check_equal "corvid-pack.exe, a zip: exit code" 0 "$RUN_STATUS"
check_equal "corvid-pack.exe, a zip: names it" "$(win "$E2E_TMP/winout")\\WinPack-1.0.0-windows-x64.zip"$'\n' \
    "$(tr -d '\r' <<<"$RUN_STDOUT")"$'\n'
zip=$E2E_TMP/winout/WinPack-1.0.0-windows-x64.zip
run_captured unzip -t "$zip"
check_equal "corvid-pack.exe, a zip: unzip tests it" 0 "$RUN_STATUS"
check_equal "corvid-pack.exe, a zip: its names" "WinPack/
WinPack/WinPack.exe
WinPack/WinPack.ini
WinPack/app/
WinPack/app/app.jar
WinPack/app/docs/
WinPack/app/docs/read me.txt
WinPack/app/lib/
WinPack/app/lib/library.jar
WinPack/app/plugins/" "$(unzip -Z1 "$zip")"
mkdir -p "$E2E_TMP/winout/unzipped"
(cd "$E2E_TMP/winout/unzipped" && unzip -q "$zip")
check_equal "corvid-pack.exe, a zip: a file's time kept" "$(date -r "$input/app.jar" '+%F %T')" \
    "$(date -r "$E2E_TMP/winout/unzipped/WinPack/app/app.jar" '+%F %T')"
wine_run "$pack_exe" --name WinPack --main-jar app.jar --input "$(win "$input")" \
    --launcher-dir "$(win "$CORVID_BUILD_DIR/src")" --type msi --dest "$(win "$E2E_TMP/winmsi")"
check_equal "corvid-pack.exe without wixl: exit code" 1 "$RUN_STATUS"
check_contains "corvid-pack.exe without wixl: says so" "$RUN_STDERR" "corvid-pack: wixl: not found on PATH"
check_equal "corvid-pack.exe without wixl: makes nothing" "" "$(ls -A "$E2E_TMP/winmsi" 2>/dev/null)"

# ---- the package ----------------------------------------------------------------
make_msi PackTest 1.0.0 --shortcut start-menu --shortcut desktop --app-user-model-id Example.PackTest \
    --file-association "pkt=Pack test document"
msi100=$MSI
shortcuts=$(msiinfo export "$msi100" MsiShortcutProperty | tr -d '\r')
check_contains "the Start menu shortcut's App User Model ID" "$shortcuts" \
    $'StartMenuShortcut\t{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5\tExample.PackTest'
check_contains "the desktop shortcut's App User Model ID" "$shortcuts" \
    $'DesktopShortcut\t{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5\tExample.PackTest'
check_contains "Add/Remove Programs shows the application's icon" "$(msiinfo export "$msi100" Property | tr -d '\r')" \
    $'ARPPRODUCTICON\tApplicationIcon.exe'
# Exporting a table of pictures writes them into a folder of its name.
check_contains "the icon is in the package" "$(cd "$E2E_TMP" && msiinfo export "$msi100" Icon | tr -d '\r')" \
    "ApplicationIcon.exe"
check_contains "Windows Installer 5 reads the shortcut table" "$(msiinfo suminfo "$msi100")" "Version: 500"

# ---- install per user, start, look --------------------------------------------------
before=$(snapshot)
msiexec /i "$(win "$msi100")"
check_equal "install 1.0.0: exit code" 0 "$RUN_STATUS"
for file in PackTest.exe PackTest.ini app/app.jar app/lib/library.jar "app/docs/read me.txt" jre64/bin/server/jvm.dll; do
    check "installed under %LOCALAPPDATA%\\Programs: $file" test -f "$installed_unix/$file"
done
check "installed: the empty folder" test -d "$installed_unix/app/plugins"
wine_run "$CORVID_UIDRIVER" resources "$installed\\PackTest.exe"
check_contains "the executable's version" "$RUN_STDOUT" "fixed 1.0.0.0 1.0.0.0"
check_contains "the executable's vendor" "$RUN_STDOUT" "string CompanyName Example Ltd"
check_contains "the executable's original name" "$RUN_STDOUT" "string OriginalFilename PackTest.exe"
for link in "$start_menu/PackTest.lnk" "$profile/Desktop/PackTest.lnk"; do
    wine_run "$CORVID_UIDRIVER" shortcut "$(win "$link")"
    check_equal "$(basename "$(dirname "$link")") shortcut: read back" 0 "$RUN_STATUS"
    check_contains "$(basename "$(dirname "$link")") shortcut: its target" "$RUN_STDOUT" "target $installed\\PackTest.exe"$'\n'
    check_contains "$(basename "$(dirname "$link")") shortcut: its working folder" "$RUN_STDOUT" "folder $installed\\"$'\n'
done

write_file "$world" "class app/Main main=print"
rm -f "$log"
# By its C: path: Wine's start does not find a shortcut by its Z: path.
wine_run "${jvm_env[@]}" start /wait "$app_data\\Microsoft\\Windows\\Start Menu\\Programs\\PackTest.lnk"
check_equal "the Start menu shortcut starts the application" 0 "$RUN_STATUS"
# start does not wait for a program that a shortcut names.
for _ in $(seq 1 100); do
    grep -q '^DestroyJavaVM returns' "$log" 2>/dev/null && break
    sleep 0.1
done
LOG=$(cat "$log" 2>/dev/null)
check_contains "started through the shortcut: main runs" "$LOG" "main thread="
check_contains "started through the shortcut: the runtime beside it" "$LOG" "env TAV_JVM_HOME=$installed\\jre64"
check_contains "started through the shortcut: the jars of the app folder, from the executable's folder" "$LOG" \
    $'\n'"option -Djava.class.path=$installed\\app\\app.jar"$'\n'

check_equal "per user: the extension's file type" "ExampleLtd.PackTest.pkt" "$(registry_value 'HKCU\Software\Classes\.pkt')"
check_equal "per user: the file type's name" "Pack test document" "$(registry_value 'HKCU\Software\Classes\ExampleLtd.PackTest.pkt')"
check_equal "per user: opening runs the application with the document" "\"$installed\\PackTest.exe\" \"%1\"" \
    "$(registry_value 'HKCU\Software\Classes\ExampleLtd.PackTest.pkt\shell\open\command')"
check_equal "per user: the document's icon" "$installed\\PackTest.exe,0" \
    "$(registry_value 'HKCU\Software\Classes\ExampleLtd.PackTest.pkt\DefaultIcon')"
check_equal "per user: nothing per machine" "" "$(registry_value 'HKLM\Software\Classes\.pkt')"
check_equal "one Add/Remove Programs entry" "1.0.0 Example Ltd" "$(uninstall_entries)"

# ---- upgrade, downgrade ---------------------------------------------------------
make_msi PackTest 1.0.1 --shortcut start-menu --shortcut desktop --app-user-model-id Example.PackTest \
    --file-association "pkt=Pack test document"
msi101=$MSI
msiexec /i "$(win "$msi101")"
check_equal "install 1.0.1 over 1.0.0: exit code" 0 "$RUN_STATUS"
check_equal "1.0.1 replaced 1.0.0: one Add/Remove Programs entry" "1.0.1 Example Ltd" "$(uninstall_entries)"
wine_run "$CORVID_UIDRIVER" resources "$installed\\PackTest.exe"
check_contains "1.0.1 replaced 1.0.0: the executable" "$RUN_STDOUT" "fixed 1.0.1.0 1.0.1.0"
# With the basic user interface: Wine logs no launch condition's text.
wine_run_msgbox msiexec.exe /i "$(win "$msi100")" /qb
check_status "1.0.0 over 1.0.1: refused" 1 test "$RUN_STATUS" = 0
check_equal "1.0.0 over 1.0.1: says why" "A newer version of PackTest is already installed." "$MSGBOX_TEXT"
check_equal "1.0.0 over 1.0.1: 1.0.1 stays" "1.0.1 Example Ltd" "$(uninstall_entries)"

# ---- uninstall ------------------------------------------------------------------
# What the application made for the user stays.
write_file "$profile/AppData/Roaming/Example Ltd/PackTest/PackTest.ini" $'[Java Runtime Environment]\r\nJRE Path=C:\\jre\r\n'
write_file "$profile/AppData/Local/Example Ltd/PackTest/PackTest-0123456789abcdef.jsa" "archive"
msiexec /x "$(win "$msi101")"
check_equal "uninstall: exit code" 0 "$RUN_STATUS"
check_equal "uninstall: no Add/Remove Programs entry" "" "$(uninstall_entries)"
check "uninstall: the user's per-user file stays" test -f "$profile/AppData/Roaming/Example Ltd/PackTest/PackTest.ini"
check "uninstall: the user's start-up cache stays" test -f "$profile/AppData/Local/Example Ltd/PackTest/PackTest-0123456789abcdef.jsa"
rm -rf "$profile/AppData/Roaming/Example Ltd" "$profile/AppData/Local/Example Ltd"
after=$(snapshot)
check_equal "uninstall: files and registry as before the install" "" \
    "$(diff <(printf '%s\n' "$before") <(printf '%s\n' "$after"))"

# ---- per machine: documents opened through the shell ------------------------------
make_msi MachineTest 2.0.0 --per-machine --single-instance --file-association "pkt=Pack test document"
msi_machine=$MSI
before=$(snapshot)
msiexec /i "$(win "$msi_machine")"
check_equal "install per machine: exit code" 0 "$RUN_STATUS"
check "installed under Program Files" test -f "$WINEPREFIX/drive_c/Program Files/MachineTest/MachineTest.exe"
check_equal "per machine: the extension's file type" "ExampleLtd.MachineTest.pkt" \
    "$(registry_value 'HKLM\Software\Classes\.pkt')"

write_file "$world" "class app/Main main=print,wait-stop secondaryMain=print"
rm -f "$log" "$stop"
write_file "$E2E_TMP/docs/first doc.pkt" "one"
write_file "$E2E_TMP/docs/second.pkt" "two"
# The first document starts the application, which keeps running.
env "${jvm_env[@]}" timeout -k 5 60 wine start /wait /unix "$E2E_TMP/docs/first doc.pkt" </dev/null >/dev/null 2>&1 &
FIRST_PID=$!
for _ in $(seq 1 100); do
    grep -q '^arg 0' "$log" 2>/dev/null && break
    sleep 0.1
done
LOG=$(cat "$log" 2>/dev/null)
check_equal "opened through the shell: main gets the document's path" "args=1
arg 0 $(win "$E2E_TMP/docs/first doc.pkt")" "$(grep -A1 '^main thread=' <<<"$LOG" | sed 's/^main thread=[0-9]* //')"
# The second reaches the running instance.
wine_run "${jvm_env[@]}" start /wait /unix "$E2E_TMP/docs/second.pkt"
check_equal "a second document: handed over" 0 "$RUN_STATUS"
for _ in $(seq 1 50); do
    grep -q 'secondaryMain returns' "$log" 2>/dev/null && break
    sleep 0.1
done
LOG=$(cat "$log" 2>/dev/null)
check_equal "a second document: the running instance gets its path" "args=1
arg 0 $(win "$E2E_TMP/docs/second.pkt")" "$(grep -A1 '^secondaryMain thread=' <<<"$LOG" | sed 's/^secondaryMain thread=[0-9]* //')"
touch "$stop"
wait "$FIRST_PID" 2>/dev/null
FIRST_PID=""
msiexec /x "$(win "$msi_machine")"
check_equal "uninstall per machine: exit code" 0 "$RUN_STATUS"
check_equal "uninstall per machine: the file type is gone" "" "$(registry_value 'HKLM\Software\Classes\.pkt')"
after=$(snapshot)
check_equal "uninstall per machine: files and registry as before the install" "" \
    "$(diff <(printf '%s\n' "$before") <(printf '%s\n' "$after"))"
