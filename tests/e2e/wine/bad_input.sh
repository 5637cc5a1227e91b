# What a user or another program can hand corvid.exe under Wine, at its
# worst: a JVM library planted in the current directory; configuration files
# that are huge, binary, UTF-16 without a byte order mark, full of NULs or of
# 100,000-character lines; raw command lines with thousands of arguments and
# unpaired quotes; "JavaHome" registry values of every wrong type and size;
# environment references that expand to megabytes; executable paths of 259,
# 260 and 261 characters. Each start has its expected outcome, none may crash
# or hang, and no file changes: every start is followed by a comparison of
# checksums.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm"

# The registry is changed below; keep it away from other suites.
wine_private_prefix
# Only the runtimes made here count: none of the host's.
unset JAVA_HOME

app=$E2E_TMP/app
rt=$E2E_TMP/rt
install_launcher "$app/app.exe"
mkdir -p "$rt/bin/server" "$rt/lib" "$E2E_TMP/cwd"
cp "$test_jvm" "$rt/bin/server/jvm.dll"
world=$E2E_TMP/world.txt
log=$E2E_TMP/jvm.log
trace=$E2E_TMP/trace.txt
write_file "$world" "class app/Main main=print"
jvm_env=(CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" LC_ALL=C.UTF-8)

crlf() { sed 's/$/\r/'; }
good_ini=$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(win "$rt")" \
    "[Class Path]" "Class Path=app.jar" | crlf)
no_main="Main class was not specified in INI file."

# Every file the launcher might touch, but the library's log and the trace.
checksums() {
    find "$E2E_TMP" -path "$E2E_TMP/wineprefix" -prune -o -type f ! -path "$log" ! -path "$trace" ! -name '.*' -print0 |
        sort -z | xargs -0 sha256sum
}

# launch NAME [ENV=value...] EXE [ARGS...]: one start whose message box (if
# any) is answered, checked for a crash, a hang and changed files; LOG holds
# the library's log and TRACE the launcher's trace.
launch() {
    local name=$1
    shift
    local before
    before=$(checksums)
    rm -f "$log" "$trace"
    wine_run_msgbox "${jvm_env[@]}" CORVID_TRACE="$(win "$trace")" "$@"
    LOG=""
    [[ -f $log ]] && LOG=$(<"$log")
    TRACE=""
    [[ -f $trace ]] && TRACE=$(tr '\0' ' ' <"$trace")
    if [[ $RUN_STATUS != 0 && $RUN_STATUS != 255 ]]; then
        fail "$name: ends by itself" "status $RUN_STATUS" "$RUN_STDERR"
    fi
    check_equal "$name: no file changed" "$before" "$(checksums)"
}

# launch_without_runtime NAME EXE: like launch, for a start that finds no
# runtime: its runtime-not-found dialog is answered with Cancel, and no
# per-user file may appear.
launch_without_runtime() {
    local name=$1 before
    before=$(checksums)
    rm -f "$log" "$trace"
    wine_run_jre_dialog "${jvm_env[@]}" CORVID_TRACE="$(win "$trace")" "$2"
    LOG=""
    [[ -f $log ]] && LOG=$(<"$log")
    TRACE=""
    [[ -f $trace ]] && TRACE=$(tr '\0' ' ' <"$trace")
    check_equal "$name: no file changed" "$before" "$(checksums)"
    check_equal "$name: no per-user file" "" "$(find "$WINEPREFIX/drive_c/users" -name "$(basename "${2%.*}").ini")"
}

# expect_start NAME ARGUMENT_COUNT: main ran with that many arguments.
expect_start() {
    check_equal "$1: exit 0" 0 "$RUN_STATUS"
    check_contains "$1: main ran" "$LOG" "main thread="
    check_contains "$1: with its arguments" "$LOG" "args=$2"$'\n'
}

# expect_message NAME TEXT: the start ended with -1 and this message box.
expect_message() {
    check_equal "$1: exit -1" 255 "$RUN_STATUS"
    check_equal "$1: message" "$2" "$MSGBOX_TEXT"
}

# ---- a JVM library in the current directory ---------------------------------
# A downloaded folder that holds bin\client\jvm.dll, started from with no
# runtime anywhere else: the library must not be loaded.
planted=$E2E_TMP/downloads
mkdir -p "$planted/bin/client"
cp "$test_jvm" "$planted/bin/client/jvm.dll"
printf '%s\r\n' "[Java Runtime Environment]" "Main Class=app.Main" "[Class Path]" "Class Path=app.jar" >"$app/app.ini"
cd "$planted" || exit 1
launch_without_runtime "library in the current directory" "$app/app.exe"
check_contains "library in the current directory: the user is asked" "$JRE_DIALOG" "Java Runtime Environment"
check_equal "library in the current directory: never loaded" "" "$LOG"
check_equal "library in the current directory: no runtime, exit -1" 255 "$RUN_STATUS"
check_contains "library in the current directory: looked for beside the executable" "$TRACE" \
    "beside the executable: \"$(win "$app")\\\": no JVM library"
check_contains "library in the current directory: nothing found" "$TRACE" "no runtime found"
# The same library directly under the executable's folder is found from anywhere.
mkdir -p "$app/bin/client"
cp "$test_jvm" "$app/bin/client/jvm.dll"
cd "$E2E_TMP/cwd" || exit 1
launch "library under the executable's folder" "$app/app.exe"
expect_start "library under the executable's folder" 0
check_contains "library under the executable's folder: that one" "$TRACE" \
    "beside the executable: \"$(win "$app")\\\": JVM library $(win "$app")\\bin\\client\\jvm.dll"
rm -rf "$app/bin" "$planted"

# ---- configuration files and arguments -------------------------------------
exe=$app/app.exe
good_file=$good_ini$'\r\n'
source "$(dirname "${BASH_SOURCE[0]}")/../cases/bad_input.sh"

printf '%s\r\n' "${good_ini/Main Class=app.Main/Main Class=$long}" >"$app/app.ini"
launch "100,000-character main class" "$app/app.exe"
check_equal "100,000-character main class: exit -1" 255 "$RUN_STATUS"
check_contains "100,000-character main class: looked for whole" "$LOG" "FindClass $long"
# Wine's trace shows the start of the box's long text only.
check_contains "100,000-character main class: reported" "$RUN_STDERR" 'MSGBOX_OnInit L"Could not find the main class aaaa'


# ---- raw command lines ------------------------------------------------------
# cmd hands its command line on as it is, so the launcher splits it itself.
printf '%s\r\n' "$good_ini" >"$app/app.ini"
# run_line NAME LINE: starts the launcher with exactly this command line, from
# a batch file (cmd hands the line on as written).
run_line() {
    printf '@%s\r\n' "$2" >"$E2E_TMP/line.bat"
    launch "$1" cmd /c "$(win "$E2E_TMP/line.bat")"
    rm -f "$E2E_TMP/line.bat"
}
run_line "unpaired quotes" "$(win "$app/app.exe") one\"two \"three four"
expect_start "unpaired quotes" 2
check_equal "unpaired quotes: quote inside, then the rest of the line" $'arg 0 one"two\narg 1 three four' \
    "$(grep '^arg ' <<<"$LOG")"

run_line "closing quote without a blank" "\"$(win "$app/app.exe")\" \"a\"b \"\" \"c\\\""
expect_start "closing quote without a blank" 4
check_equal "closing quote without a blank: split" $'arg 0 a\narg 1 b\narg 2 \narg 3 c\\' "$(grep '^arg ' <<<"$LOG")"

# ---- registry values --------------------------------------------------------
# One valid runtime and JavaHome values of every wrong type and size.
mkdir -p "$E2E_TMP/reg-rt/bin/server"
cp "$test_jvm" "$E2E_TMP/reg-rt/bin/server/jvm.dll"
home=$(win "$E2E_TMP/reg-rt")
home_hex=$(printf '%s' "$home" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//;s/,$//')
long_home=$(printf 'x%.0s' $(seq 1 300))
huge_hex=$(head -c 70000 /dev/zero | tr '\0' 'a' | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//;s/,$//')
root='HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft\Java Runtime Environment'
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    while IFS='|' read -r version value; do
        printf '[%s\\%s]\r\n"JavaHome"=%s\r\n\r\n' "$root" "$version" "$value"
    done <<TABLE
1.1|dword:00000017
1.2|hex(0):41,00,00,00
1.3|hex(3):$home_hex,00,00
1.4|hex(7):$home_hex,00,00,00,00
1.5|hex(1):$home_hex
1.6|hex(1):00,00
1.7|hex(1):$home_hex,00,00,00
1.8|"$long_home"
1.9|hex(1):$huge_hex
TABLE
    printf '[%s\\1.0]\r\n"JavaHome"="%s"\r\n' "$root" "${home//\\/\\\\}"
} | {
    # In UTF-16, as regedit writes it: hex(1) data of a file in the ANSI
    # form is taken for ANSI text and widened.
    printf '\xFF\xFE'
    iconv -f UTF-8 -t UTF-16LE
} >"$E2E_TMP/runtimes.reg"
check "regedit loads the runtime entries" wine regedit /s "$(win "$E2E_TMP/runtimes.reg")"
printf '%s\r\n' "${good_ini/JRE Path=*\\rt/Minimum Version=any$'\r\n'Maximum Version=any}" >"$app/app.ini"
launch "registry values of wrong types and sizes" "$app/app.exe"
expect_start "registry values of wrong types and sizes" 0
check_contains "registry: the one good value chosen" "$TRACE" "registered runtime \"$home\\\": JVM library $home\\bin\\server\\jvm.dll"
while IFS='|' read -r version reason; do
    check_contains "registry $version: $reason" "$TRACE" "subkey \"$version\" version $version.0.0 dropped: $reason"
done <<'TABLE'
1.1|JavaHome is not a string
1.2|JavaHome is not a string
1.3|JavaHome is not a string
1.4|JavaHome is not a string
1.6|JavaHome is empty
1.8|JavaHome is longer than a path can be
1.9|JavaHome is too large
TABLE
# String data without its NUL comes back terminated from Wine's registry
# (a missing NUL is refused where the data really lacks it; see the unit
# tests of decodeJavaHome).
if [[ $TRACE == *'subkey "1.5" version 1.5.0.0 dropped: JavaHome lacks its terminating NUL'* ]]; then
    pass "registry 1.5: string without NUL refused"
else
    check_contains "registry 1.5: string without NUL terminated by the registry" "$TRACE" "subkey \"1.5\" kept: 1.5.0.0 at $home\\"
fi
# An odd byte count: the last byte cannot be part of a character.
check_contains "registry 1.7: odd data read up to its NUL" "$TRACE" "kept: 1.7.0.0 at $home\\"

# ---- environment ------------------------------------------------------------
refs=$(printf '%%BIG%%%.0s' $(seq 1 20))
big=$(printf 'b%.0s' $(seq 1 30000))
ini=${good_ini/Class Path=app.jar/Class Path=$refs}
printf '%s\r\n' "${ini/JRE Path=/Library Path=$refs$'\r\n'JRE Path=}" >"$app/app.ini"
launch "references expanding to 600,000 characters" BIG="$big" "$app/app.exe"
expect_start "references expanding to 600,000 characters" 0
option=$(grep '^option -Djava.class.path=' <<<"$LOG")
# The system expands at most 32,767 characters and would hand back a cut
# text: the launcher takes that as a failed expansion and keeps the text.
check_equal "references expanding to 600,000 characters: left as written" "option -Djava.class.path=$refs" "$option"

# ---- paths ------------------------------------------------------------------
# copy_to_length LENGTH: a copy of the launcher and its configuration whose
# Windows path has exactly LENGTH characters; prints that path.
copy_to_length() {
    local base=$E2E_TMP/p$1 exe windows
    windows=$(win "$base")
    # Room for the folders, each with its "\", before "\app.exe".
    local room=$(($1 - ${#windows} - 8)) folder="" take
    while ((room > 0)); do
        take=$((room - 1))
        ((take > 100)) && take=$((room - 3 < 100 ? room - 3 : 100))
        folder+=/$(printf 'd%.0s' $(seq 1 "$take"))
        room=$((room - take - 1))
    done
    exe=$base$folder/app.exe
    install_launcher "$exe"
    printf '%s\r\n' "$good_ini" >"${exe%.exe}.ini"
    printf '%s' "$exe"
}
for length in 259 260 261; do
    exe=$(copy_to_length "$length")
    check_equal "executable path of $length characters: made" "$length" "$(win "$exe" | wc -c)"
    launch "executable path of $length characters" "$exe"
    if ((length < 260)); then
        expect_start "executable path of $length characters" 0
    else
        # The path does not fit the 260-character buffer with its NUL.
        expect_message "executable path of $length characters" \
            "Windows exception: failed to get the module path (errno = 122)."$'\n'
        check_equal "executable path of $length characters: no JVM" "" "$LOG"
    fi
done
rm -rf "$E2E_TMP"/p2*
