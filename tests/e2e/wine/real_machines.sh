# corvid.exe on machines as users have them, under Wine with the test JVM
# library: an application in a folder whose name the ANSI code page (1252
# under LC_ALL=C.UTF-8) cannot hold, a configuration saved as UTF-8 without
# a byte-order mark, runtimes of another architecture registered beside a
# fitting one, and the options a user keeps in a file of their own.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm"
# Runtimes are registered and the per-user folder is written below.
wine_private_prefix
unset JAVA_HOME

log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt
trace=$E2E_TMP/trace.txt
write_file "$world" "class app/Main main=print"
jvm_env=(CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" LC_ALL=C.UTF-8
    CORVID_TRACE="$(win "$trace")")
launch() {
    rm -f "$log" "$trace"
    wine_run "${jvm_env[@]}" "$@"
    LOG=$(cat "$log" 2>/dev/null)
    TRACE=$(cat "$trace" 2>/dev/null)
}
option() { grep "^option $1" <<<"$LOG" | head -1 | sed "s/^option $1//"; }

# make_runtime FOLDER [MACHINE]: the test library as bin\server\jvm.dll, its
# COFF header's machine field set to MACHINE (two bytes, e.g. '\x4c\x01').
make_runtime() {
    mkdir -p "$1/bin/server" "$1/lib"
    cp "$test_jvm" "$1/bin/server/jvm.dll"
    if [[ -n ${2:-} ]]; then
        local pe
        pe=$(od -An -tu4 -j60 -N4 "$1/bin/server/jvm.dll" | tr -d ' ')
        printf "$2" | dd of="$1/bin/server/jvm.dll" bs=1 seek=$((pe + 4)) conv=notrunc status=none
    fi
}

# ---- an application in a folder the code page cannot hold ---------------------
app="$E2E_TMP/Ünï应用 folder"
install_launcher "$app/app.exe"
make_runtime "$app/jre"
write_file "$app/app.jar" ""
mkdir -p "$app/native"
write_file "$app/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Class=app.Main"$'\r\n'"JRE Path=$(win "$app/jre")"$'\r\n'"Library Path=$(win "$app/native")"$'\r\n'"[Class Path]"$'\r\n'"Class Path=$(win "$app/app.jar");lib\\*"$'\r\n'
launch "$app/app.exe" doc
check_equal "non-ANSI folder: the program runs" 0 "$RUN_STATUS"
class_path=$(option -Djava.class.path=)
check_not_contains "non-ANSI folder: no question marks in the class path" "$class_path" "?"
check_contains "non-ANSI folder: the folder by its short name" "$class_path" "~"
check_contains "non-ANSI folder: the relative entry as written" "$class_path" ";lib\\*"
check_equal "non-ANSI folder: the short name names the jar" "yes" \
    "$(timeout 60 wine cmd /c "if exist ${class_path%%;*} echo yes" </dev/null 2>/dev/null | tr -d '\r\n')"
check_contains "non-ANSI folder: library path by short names" "$(option -Djava.library.path=)" "~"
check_contains "non-ANSI folder: the launcher's own path by its short name" "$(option -Dcorvid.executable=)" "~"
# A runnable jar there: the class path and the command property name it by its short name.
write_file "$app/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Jar=$(win "$app/app.jar")"$'\r\n'"JRE Path=$(win "$app/jre")"$'\r\n'
rm -f "$log"
wine_run_msgbox "${jvm_env[@]}" "$app/app.exe" doc
LOG=$(cat "$log" 2>/dev/null)
jar=$(option -Djava.class.path=)
check_contains "non-ANSI folder, Main Jar: by its short name" "$jar" "~"
check_equal "non-ANSI folder, Main Jar: the command property names the same" "$jar doc" "$(option -Dsun.java.command=)"

# ---- a Notepad-style UTF-8 configuration -------------------------------------------
plain=$E2E_TMP/plain
install_launcher "$plain/app.exe"
make_runtime "$E2E_TMP/Zoë/jre"
write_file "$plain/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Class=app.Main"$'\r\n'"JRE Path=$(win "$E2E_TMP/Zoë/jre")"$'\r\n'"[Class Path]"$'\r\n'"Class Path=app.jar"$'\r\n'
launch "$plain/app.exe"
check_equal "UTF-8 without a mark: the program runs" 0 "$RUN_STATUS"
check_contains "UTF-8 without a mark: JRE Path read as written" "$TRACE" \
    "JRE Path \"$(win "$E2E_TMP/Zoë/jre")\\\": JVM library"

# ---- runtimes of another architecture ------------------------------------------------
make_runtime "$E2E_TMP/rt64"
make_runtime "$E2E_TMP/rt32" '\x4c\x01'
make_runtime "$E2E_TMP/rtarm" '\x64\xaa'
home() { local w; w=$(win "$E2E_TMP/$1"); printf '"JavaHome"="%s"' "${w//\\/\\\\}"; }
reg_root='HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft\Java Runtime Environment'
write_file "$E2E_TMP/runtimes.reg" "Windows Registry Editor Version 5.00

[$reg_root\\1.8]
$(home rt64)

[$reg_root\\17]
$(home rt32)

[$reg_root\\21]
$(home rtarm)
"
check "regedit loads the runtimes" wine regedit /s "$(win "$E2E_TMP/runtimes.reg")"
machines=$E2E_TMP/machines
install_launcher "$machines/app.exe"
write_file "$machines/app.ini" $'[Java Runtime Environment]\r\nMain Class=app.Main\r\nMinimum Version=any\r\n[Class Path]\r\nClass Path=app.jar\r\n'
launch "$machines/app.exe"
check_equal "other machines: the program runs" 0 "$RUN_STATUS"
check_contains "other machines: the x64 one is chosen" "$TRACE" "registered runtime \"$(win "$E2E_TMP/rt64")\\\": JVM library"
check_contains "other machines: x86 passed over" "$TRACE" "is a 32-bit (x86) library"
check_contains "other machines: ARM64 passed over" "$TRACE" "is a 64-bit (ARM64) library"
write_file "$machines/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Class=app.Main"$'\r\n'"JRE Path=$(win "$E2E_TMP/rt32")"$'\r\n'"[Class Path]"$'\r\n'"Class Path=app.jar"$'\r\n'
rm -f "$log"
wine_run_msgbox "${jvm_env[@]}" "$machines/app.exe"
check_equal "x86 as JRE Path: status -1" 255 "$RUN_STATUS"
check_equal "x86 as JRE Path: the message" \
    "The Java VM library $(win "$E2E_TMP/rt32")\\bin\\server\\jvm.dll is a 32-bit (x86) library; this launcher needs a 64-bit (x64) one." \
    "$MSGBOX_TEXT"
check "x86 as JRE Path: never loaded" test ! -f "$log"

# ---- the options a user keeps ---------------------------------------------------------
appdata=$(winepath -u "$(timeout 60 wine cmd /c 'echo %APPDATA%' </dev/null | tr -d '\r\n')" 2>/dev/null)
check "APPDATA is a folder" test -d "$appdata"
write_file "$appdata/Tool/1/app.vmoptions" $'# my own heap\r\n\r\n  -Xmx300m \r\n-Dmy.folder=C:\\My Files\\x y\r\n'
write_file "$machines/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Class=app.Main"$'\r\n'"JRE Path=$(win "$E2E_TMP/rt64")"$'\r\n'"Virtual Machine Parameters=-Xmx100m"$'\r\n'"User Options=yes"$'\r\n'"[Product Information]"$'\r\n'"Product Name=Tool"$'\r\n'"Product Code=1"$'\r\n'"[Class Path]"$'\r\n'"Class Path=app.jar"$'\r\n'
launch "$machines/app.exe"
check_equal "user options: the program runs" 0 "$RUN_STATUS"
check_equal "user options: after the configured ones, whole" \
    $'-Xlog:jni+resolve=off\n-Djava.class.path=app.jar\n-Xmx100m\n-Xmx300m\n-Dmy.folder=C:\\My Files\\x y\n-Dcorvid.executable='"$(win "$machines/app.exe")"$'\n-Dsun.java.command=app.Main\n-Dsun.java.launcher=SUN_STANDARD' \
    "$(grep '^option ' <<<"$LOG" | sed 's/^option //')"
check_contains "user options: traced" "$TRACE" "user option from "

# ---- restarts, from the folder the code page cannot hold -----------------------------
write_file "$world" "class app/Main main=print,exit:9"
write_file "$app/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Class=app.Main"$'\r\n'"JRE Path=$(win "$app/jre")"$'\r\n'"[Class Path]"$'\r\n'"Class Path=app.jar"$'\r\n'"[Application]"$'\r\n'"Restart Exit Code=9"$'\r\n'
launch "$app/app.exe" "two words" x
# The starts that follow are not waited for by wine: their log lines are.
for _ in $(seq 300); do
    [[ $(grep -c '^System.exit 9' "$log") -ge 4 && $(grep -cE '^ *[0-9.]+ exit code ' "$trace") -ge 4 ]] && break
    sleep 0.2
done
sleep 0.5
check_equal "restart: the first start ends with the code" 9 "$RUN_STATUS"
check_equal "restart: started again with the same arguments, at most 1 + 3 times at once" \
    "$(printf 'arg 0 two words\narg 1 x\n%.0s' 1 2 3 4)" "$(grep '^arg ' "$log")"
check_contains "restart: the guard stops it" "$(cat "$trace")" "restart: not again"
first_path=$(grep -m1 '^env Path=' "$log")
check_equal "restart: after three restarts Path is what it was at the first start" \
    "$(printf '%s\n' "$first_path" "$first_path" "$first_path" "$first_path")" "$(grep '^env Path=' "$log")"
